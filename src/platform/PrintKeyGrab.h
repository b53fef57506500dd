#pragma once
// The print-screen key taken away from the other programs of an X11 display while a window
// needs it: nobody takes a picture of a signature being given. The key is grabbed alone and
// with Alt, Ctrl, Shift and the Super key, each also with Caps Lock and Num Lock on, on the
// root window, so the presses come to this program, which ignores them.
//
// A combination that another program holds already stays with it: the grab goes on
// without it and says nothing. Wayland lets no client take keys from others, so there the
// caller has no connection and nothing is grabbed.

#include <cstdint>
#include <vector>

struct xcb_connection_t;

class TPrintKeyGrab {
 public:
  TPrintKeyGrab() = default;
  TPrintKeyGrab(const TPrintKeyGrab&) = delete;
  TPrintKeyGrab& operator=(const TPrintKeyGrab&) = delete;
  ~TPrintKeyGrab() { Release(); }

  // Grabs on the root window of the connection's first screen; releases an earlier grab
  // first. Returns how many of the five combinations are now held by this program.
  int Grab(xcb_connection_t* connection);
  // Gives every held combination back (also when the connection's display went away).
  void Release();
  // The combinations held now (0 to 5).
  int Held() const { return combinations_; }

 private:
  xcb_connection_t* connection_ = nullptr;
  uint32_t root_ = 0;
  uint8_t keycode_ = 0;
  std::vector<uint16_t> held_;  // the modifier masks grabbed, lock variants included
  int combinations_ = 0;
};
