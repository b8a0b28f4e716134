#include "headless.h"

#include <cstdio>

#include "gbtext.h"

void User::Type(const std::string& text) {
  for (char c : text) form_.KeyPress(c);
}

void User::Click(const std::string& control) {
  auto* c = dynamic_cast<TControl*>(form_.FindComponent(control));
  if (!c) throw ScriptError("no control " + control + " on " + form_.Name());
  form_.ClickControl(*c);
}

ScriptedUser& ScriptedUser::Box(std::string caption, std::string text, int answer) {
  steps_.push_back({Kind::Box, std::move(caption), std::move(text), answer, nullptr});
  return *this;
}

ScriptedUser& ScriptedUser::Modal(std::string form, Act act) {
  steps_.push_back({Kind::Modal, std::move(form), "", 0, std::move(act)});
  return *this;
}

ScriptedUser& ScriptedUser::Idle(Act act) {
  steps_.push_back({Kind::Idle, "", "", 0, std::move(act)});
  return *this;
}

ScriptedUser& ScriptedUser::Pending(Act act) {
  steps_.push_back({Kind::Pending, "", "", 0, std::move(act)});
  return *this;
}

std::string ScriptedUser::RecordText() const {
  std::string out;
  for (const auto& r : record_) out += gbtext::ToUtf8(r) + "\n";
  return out;
}

void ScriptedUser::Unexpected(const std::string& what) const {
  throw ScriptError("unexpected: " + gbtext::ToUtf8(what) + "\nso far:\n" + RecordText());
}

static bool AnswerFits(int flags, int answer) {
  switch (flags & 0xF) {
    case MB_OK: return answer == IDOK;
    case MB_OKCANCEL: return answer == IDOK || answer == IDCANCEL;
    case MB_ABORTRETRYIGNORE: return answer == IDABORT || answer == IDRETRY || answer == IDIGNORE;
    case MB_YESNOCANCEL: return answer == IDYES || answer == IDNO || answer == IDCANCEL;
    case MB_YESNO: return answer == IDYES || answer == IDNO;
    case MB_RETRYCANCEL: return answer == IDRETRY || answer == IDCANCEL;
    default: return false;
  }
}

static int FirstButton(int flags) {
  switch (flags & 0xF) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNOCANCEL: case MB_YESNO: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
  }
}

TForm& HeadlessBackend::InputForm() const {
  const auto& stack = Application->ModalStack();
  if (!stack.empty()) return *stack.back();
  if (!Application->MainForm()) throw ScriptError("no window takes input");
  return *Application->MainForm();
}

void HeadlessBackend::RunModal(TForm& form) {
  while (form.ModalResult() == mrNone && !Application->Terminated()) {
    if (!user_) {
      std::printf("[%s] dialog cancelled: no one to answer it\n", gbtext::ToUtf8(form.Caption()).c_str());
      form.SetModalResult(mrCancel);
      break;
    }
    if (user_->steps_.empty() || user_->steps_.front().kind != ScriptedUser::Kind::Modal ||
        user_->steps_.front().caption != form.Name())
      user_->Unexpected("modal " + form.Name());
    auto step = std::move(user_->steps_.front());
    user_->steps_.pop_front();
    User u(form);
    step.act(u);
  }
  const int result = form.ModalResult() != mrNone ? form.ModalResult() : mrCancel;
  if (user_) user_->record_.push_back("modal " + form.Name() + " -> " + std::to_string(result));
}

int HeadlessBackend::MessageBox(const std::string& text, const std::string& caption, int flags) {
  if (!user_) {
    const int answer = FirstButton(flags);
    std::printf("[%s] %s -> %d\n", gbtext::ToUtf8(caption).c_str(), gbtext::ToUtf8(text).c_str(), answer);
    std::fflush(stdout);
    return answer;
  }
  const std::string seen = "box [" + caption + "] " + text;
  if (user_->steps_.empty() || user_->steps_.front().kind != ScriptedUser::Kind::Box) user_->Unexpected(seen);
  const auto& step = user_->steps_.front();
  if ((!step.caption.empty() && step.caption != caption) || (!step.text.empty() && step.text != text))
    user_->Unexpected(seen + "\n  (the script expected [" + step.caption + "] " + step.text + ")");
  if (!AnswerFits(flags, step.answer)) user_->Unexpected(seen + "\n  (the answer is not one of its buttons)");
  const int answer = step.answer;
  user_->steps_.pop_front();
  user_->record_.push_back(seen + " -> " + std::to_string(answer));
  return answer;
}

void HeadlessBackend::ProcessMessages() {
  while (user_ && !user_->steps_.empty() && user_->steps_.front().kind == ScriptedUser::Kind::Pending) {
    auto step = std::move(user_->steps_.front());
    user_->steps_.pop_front();
    User u(InputForm());
    step.act(u);
  }
}


void HeadlessBackend::HandleMessage() {
  if (Application->Terminated()) return;
  if (!user_) {
    std::printf("no input to wait for: the application ends\n");
    Application->Terminate();
    return;
  }
  if (user_->steps_.empty() || (user_->steps_.front().kind != ScriptedUser::Kind::Idle &&
                                user_->steps_.front().kind != ScriptedUser::Kind::Pending))
    user_->Unexpected("the message loop waits for input");
  auto step = std::move(user_->steps_.front());
  user_->steps_.pop_front();
  User u(InputForm());
  step.act(u);
}

void HeadlessBackend::FatalBox(const std::string& caption, const std::string& text) {
  if (user_) {
    user_->record_.push_back("fatal [" + caption + "] " + text);
    return;
  }
  std::fprintf(stderr, "[%s] %s\n", gbtext::ToUtf8(caption).c_str(), gbtext::ToUtf8(text).c_str());
}
