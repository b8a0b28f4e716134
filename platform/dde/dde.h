// The DDE client conversation.
//
// A conversation connects to a service (a server listening on the local
// socket <machine root>/dde/<service>) and hands it execute commands. When no
// server answers the first connection attempt, the service's program is
// started once -- "<service> <topic>", in the background, detached -- and the
// connection is tried once more at once. Nothing here raises or shows
// anything.
//
// The transport is a stream of execute strings, each ending with its NUL
// byte. There are no acknowledgements: a command handed over is on its way,
// and what the server makes of it is not reported back.
#pragma once

#include <string>
#include <string_view>

enum TDataMode { ddeAutomatic, ddeManual };

class TDdeClientConv {
 public:
  TDdeClientConv();
  ~TDdeClientConv();
  TDdeClientConv(const TDdeClientConv&) = delete;
  TDdeClientConv& operator=(const TDdeClientConv&) = delete;

  std::string DdeService;
  std::string DdeTopic;
  TDataMode ConnectMode = ddeManual;

  // Ends any open conversation and stores the names. With ddeAutomatic the
  // conversation is opened at once and the result is OpenLink's; with
  // ddeManual it returns true.
  bool SetLink(const std::string& service, const std::string& topic);
  // Opens the conversation (ending any open one first); returns whether one
  // exists. Does not wait for a server: a connection that cannot be made at
  // once counts as no answer.
  bool OpenLink();
  // Hands the command text (with its terminating NUL) to the server without
  // waiting for its acknowledgement. Returns whether it was handed over;
  // nothing is sent when no conversation is open. A conversation whose server
  // has gone is ended. waitFlg asks for nothing more: the transport has no
  // acknowledgements to wait for.
  bool ExecuteMacro(const char* cmd, bool waitFlg);
  // Ends the conversation; harmless when none is open.
  void CloseLink();

 private:
  int socket_ = -1;
};

namespace dde {

// Where a service's program is looked for when no server answers. Empty (the
// default): the directory of the running executable, then each directory of
// PATH. Any other value: that directory only (so a missing directory means
// the program cannot be started). The program's file name is the service name
// in lower case.
void SetProgramDir(std::string dir);

// The socket a service listens on: <machineRoot>/dde/<service in lower case>.
std::string ServiceSocketPath(const std::string& machineRoot, std::string_view service);

}  // namespace dde
