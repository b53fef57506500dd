#include "support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include <time.h>
#include <unistd.h>

TTempDir::TTempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tessaro-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  // Tests may leave read-only files or folders behind; make them removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadAllBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAllBytes(const std::string& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void TRecordingInteraction::ShowMessage(TMsgKind kind, const std::string& text) {
  messages.push_back({kind, text, ""});
}

void TRecordingInteraction::ShowCaptionedMessage(TMsgKind kind, const std::string& caption,
                                                 const std::string& text) {
  messages.push_back({kind, text, caption});
}

int TRecordingInteraction::Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) {
  questions.push_back(text);
  (void)kind;
  if (answers.empty()) return buttons == TAskButtons::YesNo ? mrNo : mrCancel;
  int a = answers.front();
  answers.pop_front();
  return a;
}

int TRecordingInteraction::AskButtons(const std::string& text, const std::string&,
                                      const std::string&, bool, const std::string&) {
  questions.push_back(text);
  if (answers.empty()) return 0;
  int a = answers.front();
  answers.pop_front();
  return a;
}

bool TRecordingInteraction::InputText(const std::string& prompt, std::string& value,
                                      bool editable) {
  questions.push_back(prompt);
  if (inputs.empty()) return false;
  if (editable) value = inputs.front();
  inputs.pop_front();
  return true;
}

std::string TRecordingInteraction::AllText() const {
  std::string all;
  for (const auto& m : messages) {
    if (!all.empty()) all += "\n";
    all += m.text;
  }
  return all;
}

void TRecordingInteraction::Clear() {
  messages.clear();
  questions.clear();
}

TUtcZone::TUtcZone() {
  if (const char* old = std::getenv("TZ")) old_ = old;
  setenv("TZ", "UTC", 1);
  tzset();
}

TUtcZone::~TUtcZone() {
  if (old_) setenv("TZ", old_->c_str(), 1);
  else unsetenv("TZ");
  tzset();
}
