// The headless backend: the toolkit without a display.
//
// With a scripted user, every message box and modal showing is answered by
// the test's script, and every appearance is recorded, so a test of a whole
// installation reads like the conversation a person has with the installer.
// Without one (console mode), message boxes are printed and answered with
// their first button, modal dialogs are cancelled, and an idle message loop
// ends the application.
#pragma once

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolkit.h"

// The script did not expect what the program did. Not an Exception: it is
// never caught by the application's error box and fails the test.
class ScriptError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// What the scripted user does to a window.
class User {
 public:
  explicit User(TForm& form) : form_(form) {}
  TForm& Form() const { return form_; }
  void Key(int key, int shift = 0) { form_.KeyDown(key, shift); }
  // Typed characters (GB2312 bytes), one key press each.
  void Type(const std::string& text);
  // A mouse click on the named control.
  void Click(const std::string& control);
  void CloseBox() { form_.CloseBox(); }

 private:
  TForm& form_;
};

class ScriptedUser {
 public:
  using Act = std::function<void(User&)>;

  // A message box is expected; an empty caption or text matches any. The
  // answer must be one of the box's buttons.
  ScriptedUser& Box(std::string caption, std::string text, int answer);
  // The named form is shown modally; `act` is what the user does in it.
  // When the showing has not ended afterwards, the next step must again be
  // for this form.
  ScriptedUser& Modal(std::string form, Act act);
  // The message loop waits for input: `act` acts on the form that takes
  // input (the innermost modal form, else the main form).
  ScriptedUser& Idle(Act act);
  // Input already waiting when the program next lets pending messages
  // through.
  ScriptedUser& Pending(Act act);

  // One line per appearance: "box [caption] text -> answer",
  // "modal NAME -> result", "fatal [caption] text".
  const std::vector<std::string>& Record() const { return record_; }
  bool Finished() const { return steps_.empty(); }
  // The record in UTF-8, one appearance per line, for failure messages.
  std::string RecordText() const;

 private:
  friend class HeadlessBackend;
  enum class Kind { Box, Modal, Idle, Pending };
  struct Step {
    Kind kind;
    std::string caption, text;  // Box: caption and text; Modal: form name
    int answer = 0;
    Act act;
  };
  [[noreturn]] void Unexpected(const std::string& what) const;
  std::deque<Step> steps_;
  std::vector<std::string> record_;
};

class HeadlessBackend : public Backend {
 public:
  explicit HeadlessBackend(ScriptedUser* user = nullptr) : user_(user) {}
  void RunModal(TForm& form) override;
  int MessageBox(const std::string& text, const std::string& caption, int flags) override;
  void ProcessMessages() override;
  void HandleMessage() override;
  void FatalBox(const std::string& caption, const std::string& text) override;

 private:
  TForm& InputForm() const;
  ScriptedUser* user_;
};
