#include "platform/PrintKeyGrab.h"

#include <cstdlib>

#include <xcb/xcb.h>

namespace {

constexpr uint32_t kPrintKeysym = 0xFF61;

// The first key code that produces the print key's symbol in any column; 0 when the
// keyboard has none.
uint8_t PrintKeycode(xcb_connection_t* connection) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const uint8_t first = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
      connection, xcb_get_keyboard_mapping(connection, first, static_cast<uint8_t>(count)),
      nullptr);
  if (!mapping) return 0;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
  const int perCode = mapping->keysyms_per_keycode;
  const int total = xcb_get_keyboard_mapping_keysyms_length(mapping);
  uint8_t found = 0;
  for (int i = 0; i < total && perCode > 0; ++i)
    if (syms[i] == kPrintKeysym) {
      found = static_cast<uint8_t>(first + i / perCode);
      break;
    }
  std::free(mapping);
  return found;
}

}  // namespace

int TPrintKeyGrab::Grab(xcb_connection_t* connection) {
  Release();
  if (!connection || xcb_connection_has_error(connection)) return 0;
  const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  if (screens.rem == 0) return 0;
  const uint8_t keycode = PrintKeycode(connection);
  if (keycode == 0) return 0;
  connection_ = connection;
  root_ = screens.data->root;
  keycode_ = keycode;
  const uint16_t combinations[] = {0, XCB_MOD_MASK_1, XCB_MOD_MASK_CONTROL, XCB_MOD_MASK_SHIFT,
                                   XCB_MOD_MASK_4};
  // Caps Lock and Num Lock (Mod2 on every usual layout) are modifiers to X as well: without
  // these variants the key would escape whenever one of them is on.
  const uint16_t locks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                            XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
  for (uint16_t combination : combinations) {
    bool base = false;
    for (uint16_t lock : locks) {
      const uint16_t mask = combination | lock;
      xcb_generic_error_t* error = xcb_request_check(
          connection, xcb_grab_key_checked(connection, 1, root_, mask, keycode_,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
      if (error) {  // held by another program: it keeps it
        std::free(error);
        continue;
      }
      held_.push_back(mask);
      if (lock == 0) base = true;
    }
    if (base) ++combinations_;
  }
  return combinations_;
}

void TPrintKeyGrab::Release() {
  if (connection_ && !xcb_connection_has_error(connection_)) {
    for (uint16_t mask : held_) xcb_ungrab_key(connection_, keycode_, root_, mask);
    xcb_flush(connection_);
  }
  held_.clear();
  combinations_ = 0;
  connection_ = nullptr;
}
