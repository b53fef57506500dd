#include "app/ViewRegistryUnit.h"

#include "data/UnitTR100.h"

namespace {

struct TPageEntry {
  TViewFactory factory;
  IView* view = nullptr;
  IPageCommands* commands = nullptr;  // null: the view's own
};

struct TViewRegistry {
  std::array<TPageEntry, kPageCount> pages;
  TViewCreator creator;
};

TViewRegistry& Registry() {
  static TViewRegistry registry;
  return registry;
}

bool ValidPage(int page) { return page >= 0 && page < kPageCount; }

}  // namespace

int ItemTypeToPage(int itemClass) {
  switch (itemClass) {
    case icUser: return pgUsers;
    case icBuilding: return pgBuildings;
    case icDoor: return pgDoors;
    case icKey: return pgKeys;
    case icPerson: return pgPersons;
    case icCylinder: return pgCylinders;
    case icGroup: return pgGroups;
    case icCabinet: return pgCabinets;
    default: return pgLogin;
  }
}

int PageToItemType(int page) {
  switch (page) {
    case pgBuildings: return icBuilding;
    case pgDoors: return icDoor;
    case pgCylinders: return icCylinder;
    case pgGroups: return icGroup;
    case pgKeys: return icKey;
    case pgCabinets: return icCabinet;
    case pgPersons: return icPerson;
    case pgUsers: return icUser;
    default: return 0;
  }
}

void RegisterViewFactory(int page, TViewFactory factory) {
  if (ValidPage(page)) Registry().pages[page].factory = std::move(factory);
}

const TViewFactory& ViewFactoryOf(int page) {
  static const TViewFactory none;
  return ValidPage(page) ? Registry().pages[page].factory : none;
}

void RegisterView(int page, IView* view) {
  if (ValidPage(page)) Registry().pages[page].view = view;
}

void UnregisterView(int page, IView* view) {
  if (ValidPage(page) && Registry().pages[page].view == view) Registry().pages[page].view = nullptr;
}

IView* ViewOf(int page) { return ValidPage(page) ? Registry().pages[page].view : nullptr; }

int PageOfView(const IView* view) {
  if (!view) return -1;
  for (int page = 0; page < kPageCount; ++page)
    if (Registry().pages[page].view == view) return page;
  return -1;
}

void SetViewCreator(TViewCreator creator) { Registry().creator = std::move(creator); }

IView* EnsureView(int page) {
  if (!ValidPage(page)) return nullptr;
  TViewRegistry& r = Registry();
  if (!r.pages[page].view && r.creator) r.creator(page);
  return r.pages[page].view;
}

void RegisterPageCommands(int page, IPageCommands* commands) {
  if (ValidPage(page)) Registry().pages[page].commands = commands;
}

void UnregisterPageCommands(int page, IPageCommands* commands) {
  if (ValidPage(page) && Registry().pages[page].commands == commands)
    Registry().pages[page].commands = nullptr;
}

IPageCommands* PageCommandsOf(int page) {
  if (!ValidPage(page)) return nullptr;
  const TPageEntry& entry = Registry().pages[page];
  return entry.commands ? entry.commands : entry.view;
}

void ForgetViews() {
  TViewRegistry& r = Registry();
  for (TPageEntry& entry : r.pages) {
    entry.view = nullptr;
    entry.commands = nullptr;
  }
  r.creator = nullptr;
}

void ResetViewRegistry() { Registry() = TViewRegistry(); }
