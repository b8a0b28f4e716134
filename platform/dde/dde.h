// The DDE client conversation.
//
// A conversation connects to a service (a server listening on the local
// socket <machine root>/dde/<service>) and hands it execute commands. When no
// server answers the first connection attempt, the service's program is
// started once -- "<service> <topic>", in the background, detached -- and the
// connection is tried once more at once. Nothing here raises or shows
// anything.
#pragma once

#include <string>

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

  bool SetLink(const std::string& service, const std::string& topic);
  // Opens the conversation; returns whether one exists.
  bool OpenLink();
  // Hands the command text (with its terminating NUL) to the server without
  // waiting for its acknowledgement. Returns whether it was handed over;
  // nothing is sent when no conversation is open.
  bool ExecuteMacro(const char* cmd, bool waitFlg);
  // Ends the conversation; harmless when none is open.
  void CloseLink();

 private:
  int socket_ = -1;
};
