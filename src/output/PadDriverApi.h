#pragma once
// The signature pad driver's entry points as the program calls them: plain C, looked up by
// name in the driver library "SOPad.so". Both sides include this header: the program's
// binding (output/PadDriverUnit.h) and our virtual pad (src/pad).
//
// Texts are NUL-terminated byte strings of at most 255 bytes in the pad's character set
// (the display lines) or ASCII (application name, language). A sample is 20 bytes, laid
// out as TFrames (data/SigPadUnit.h). The driver calls the button handlers on the
// program's user-interface thread.

#include <cstddef>

extern "C" {

typedef void (*TPadButtonHandler)(void);

// Language of the pad's own texts: "D", "GB", "F", "ES", "PL", "NL".
typedef void (*TPadSetLang)(const char* language);
// The handler the driver calls when the pad's big (accept) button is pressed.
typedef void (*TPadRegisterBigButtonHandler)(TPadButtonHandler handler);
// The handler the driver calls when the pad's small (cancel) button is pressed.
typedef void (*TPadRegisterSmallButtonHandler)(TPadButtonHandler handler);
// Shows `text` on display line `line` (from 1).
typedef void (*TPadSetSignText)(int line, const char* text);
// Discards the previous capture.
typedef void (*TPadClearBioData)(void);
// Starts a capture; the program passes its name, then 1, 1, 1, 1, "" and 255. Non-zero
// when the capture started.
typedef int (*TPadStartCapture)(const char* application, int option1, int option2,
                                int option3, int option4, const char* options, int option5);
// Stops the capture and fills the two status records (5 and 6 bytes, zeroed by the
// caller). Non-zero on success.
typedef int (*TPadStopRead)(unsigned char* status1, unsigned char* status2);
// Hands out the samples of the last capture: their number, and in `handle` what the two
// calls below take.
typedef int (*TPadGetBioDataArray)(void** handle);
// The address of sample `index` (20 bytes), or null.
typedef const unsigned char* (*TPadGetBioDataArrayItem)(void* handle, int index);
// Releases the handle.
typedef void (*TPadFreeBioDataArray)(void* handle);

}  // extern "C"

// The entry points the program binds, in the order it looks them up; a driver without one
// of them is not used.
inline constexpr std::size_t kPadEntryPointCount = 35;
inline constexpr const char* kPadEntryPoints[kPadEntryPointCount] = {
    "enumPorts",
    "setCom",
    "startRead",
    "clearBioData",
    "checkCom",
    "getPID",
    "setPID",
    "setPadType",
    "framesAvailable",
    "getFrame",
    "stopRead",
    "isPadavAvailable",
    "getBioDataArray",
    "getBioDataArrayItem",
    "freeBioDataArray",
    "unRegisterCanvas",
    "registerCanvas",
    "getPadSettings",
    "setPadSettings",
    "setLang",
    "useWintabDevices",
    "setWintabTabletPCRegion",
    "setWintabCorpLic",
    "SetSignText",
    "SetSignImage",
    "SetLCDMode",
    "ClearLCD",
    "SetLCDDefaultPictureOptions",
    "startCapture",
    "configurePad",
    "checkConnectedPad",
    "Is256Pad",
    "RegisterBigButtonHandler",
    "RegisterSmallButtonHandler",
    "SetDriverOptions",
};

// Status records of stopRead.
inline constexpr std::size_t kPadStatus1Size = 5;
inline constexpr std::size_t kPadStatus2Size = 6;
// The longest text passed to the driver.
inline constexpr std::size_t kPadMaxText = 255;
