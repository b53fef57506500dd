#pragma once
// Shared helpers of the test programs: a temporary folder that cleans itself up and a
// user-interaction double that records every message and answers from a script.

#include <deque>
#include <optional>
#include <filesystem>
#include <string>
#include <vector>

#include "basic/UserInteraction.h"

// A fresh folder below the system's temporary folder, removed with everything in it.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The folder as the program spells folders: with a trailing "/".
  std::string Dir() const { return path_.string() + "/"; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Whole-file helpers for fixtures: bytes in, bytes out, no conversion.
std::string ReadAllBytes(const std::string& file);
void WriteAllBytes(const std::string& file, const std::string& bytes);

// Local time is UTC for the lifetime of the object, so that a fixed clock's date and the
// dates written from it agree; the previous TZ comes back afterwards.
class TUtcZone {
 public:
  TUtcZone();
  ~TUtcZone();
  TUtcZone(const TUtcZone&) = delete;
  TUtcZone& operator=(const TUtcZone&) = delete;

 private:
  std::optional<std::string> old_;
};

struct TRecordedMessage {
  TMsgKind kind;
  std::string text;
  std::string caption;  // only when the caller gave one
};

// Records what the code under test says; questions are answered from `answers` in order,
// and with the silent default (No / Cancel / 0) once the script runs out.
class TRecordingInteraction : public IUserInteraction {
 public:
  std::vector<TRecordedMessage> messages;
  std::vector<std::string> questions;
  std::deque<int> answers;
  std::deque<std::string> inputs;
  int pendingEventCalls = 0;

  void ShowMessage(TMsgKind kind, const std::string& text) override;
  void ShowCaptionedMessage(TMsgKind kind, const std::string& caption,
                            const std::string& text) override;
  int Ask(TMsgKind kind, const std::string& text, TAskButtons buttons) override;
  int AskButtons(const std::string& text, const std::string& caption1,
                 const std::string& caption2, bool withCancel,
                 const std::string& caption3) override;
  bool InputText(const std::string& prompt, std::string& value, bool editable) override;
  void ProcessPendingEvents() override { ++pendingEventCalls; }

  // All message texts joined by "\n", for compact assertions.
  std::string AllText() const;
  void Clear();
};

// Installs a TRecordingInteraction for the lifetime of the object.
class TScopedRecorder : public TRecordingInteraction {
 public:
  TScopedRecorder() : scope_(*this) {}

 private:
  TUserInteractionScope scope_;
};
