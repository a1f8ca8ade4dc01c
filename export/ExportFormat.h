#pragma once

// The layout of a text export; its value is the index of the layout's radio
// button in the format dialog.
enum class ExportFormat : int {
    FixedLength = 0,
    TabSeparated = 1,
    CommaSeparated = 2,
    OtherCharacter = 3,
};
