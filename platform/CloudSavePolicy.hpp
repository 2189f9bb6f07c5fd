#pragma once

namespace Platform {

// How a save meets a record that exists already.
enum class CloudSavePolicy : int {
    // Refused with serverRecordChanged unless the record carries the stored record's change tag.
    ifServerRecordUnchanged = 0,
    // The record's fields replace the stored ones of the same keys; other stored fields stay.
    changedKeys = 1,
};

}
