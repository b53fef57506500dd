#include "basic/UserInteraction.h"

namespace {

class TSilentInteraction final : public IUserInteraction {
 public:
  void ShowMessage(TMsgKind, const std::string&) override {}
  int Ask(TMsgKind, const std::string&, TAskButtons buttons) override {
    return buttons == TAskButtons::YesNo ? mrNo : mrCancel;
  }
  int AskButtons(const std::string&, const std::string&, const std::string&, bool,
                 const std::string&) override {
    return 0;
  }
  bool InputText(const std::string&, std::string&, bool) override { return false; }
  void ProcessPendingEvents() override {}
};

TSilentInteraction gSilent;
IUserInteraction* gCurrent = &gSilent;

}  // namespace

IUserInteraction& UI() { return *gCurrent; }

void SetUserInteraction(IUserInteraction* ui) { gCurrent = ui ? ui : &gSilent; }

TUserInteractionScope::TUserInteractionScope(IUserInteraction& ui) : previous_(gCurrent) {
  gCurrent = &ui;
}

TUserInteractionScope::~TUserInteractionScope() { gCurrent = previous_; }
