#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/AmpStatus.h"
#include "model/DeviceCatalogue.h"

namespace vantrel {

// Thread messages to the worker.
enum : std::uint32_t {
    TM_CONNECT = 1224,
    TM_GET_SETUPS = 1227,
    TM_SAVE_SETUPS = 1228,
    TM_SET_PARAMS_0 = 1233,
    TM_SET_PARAMS_1,
    TM_SET_PARAMS_2,
    TM_SET_PARAMS_3,
    TM_SET_PARAMS_4,
    TM_SET_PARAMS_5,
    TM_SET_LEVEL_0 = 1239,
    TM_SET_LEVEL_1,
    TM_SET_LEVEL_2,
    TM_SET_LEVEL_3,
    TM_SET_LEVEL_4,
    TM_SET_LEVEL_5,
    TM_LOAD_SETUP = 1254,
    TM_UPDATE_FIRMWARE = 1265,
    TM_SET_NOISE_KILLER = 1268,
};

// Window messages from the worker.
enum : std::uint32_t {
    UM_RESULT_TEXT = 1225,
    UM_SETUPS_LOADED = 1226,
    UM_COMM_FAIL = 1229,
    UM_STATUS = 1230,
    UM_RETRY_TIMER = 1231,
    UM_BUSY = 1255,
    // A store request has finished: lParam = its number, success = whether it was stored.
    UM_STORE_FINISHED = 1300,
};

inline constexpr int kSlotCount = 6;

// A message to the window. The text and the status record travel as copies, so the worker can go
// on formatting the next result while the window still shows this one.
struct WindowMessage {
    std::uint32_t message = 0;
    std::string text;           // UM_RESULT_TEXT
    std::intptr_t lParam = 0;   // UM_RESULT_TEXT: 1 for a paced parameter write
    StatusRecord status{};      // UM_STATUS
    bool success = false;       // UM_STORE_FINISHED
};

// Where the worker's window messages go: the window thread's queue, or a test's record.
class WorkerSink {
public:
    virtual ~WorkerSink() = default;
    // Called on the worker thread; must not block on the window.
    virtual void PostToWindow(WindowMessage message) = 0;
};

// The questions a firmware update asks the user, answered on the window thread by message boxes
// and the device selection dialog, by the command-line client from its flags, by tests from a
// script. Called on the worker thread, which waits for the answer.
class WorkerQuestions {
public:
    virtual ~WorkerQuestions() = default;
    // A Yes/No offer with caption "Update Firmware"; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // The device selection: the catalogue index of the chosen model, or nothing for Cancel.
    virtual std::optional<std::uint8_t> SelectDevice(const DeviceCatalogue& catalogue,
                                                     std::uint16_t presetModelCode) = 0;
};

}  // namespace vantrel
