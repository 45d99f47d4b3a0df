// Control IDs of the profile editor's form. Every control of the form carries its ID as its
// objectName (QString::number(id)), which is how the layout table, the graph and the tests
// find them.
#pragma once

enum ProfileFormId : int {
    IDC_MODE_GROUP = 1001,      // "Wizard: Creation mode" group box
    IDC_MODE_DIOPTERS = 1002,   // "Diopters" radio button
    IDC_MODE_POLYNOMIAL = 1003, // "Polynomial coeffs" radio button
    IDC_WIZARD_GROUP = 1004,    // "Wizard: Properties..." group box
    IDC_LIMIT_JUMPS = 1005,     // "Max. jumping (in numbers of 2PI):" check box
    IDC_MAX_JUMPS = 1006,       // its value edit
    IDC_MIN_VOLTAGE = 1007,     // "Try minimum voltage" check box
    IDC_GENERATE = 1008,        // "&Generate data"
    IDC_NOTE = 1009,            // the note
    IDC_INSERT_PATH = 1010,     // "Insert &Path"
    IDC_DATA_LABEL = 1011,      // "Data (in parts of PI):"
    IDC_IMPORT = 1012,          // "&Import"
    IDC_EXPORT = 1013,          // "&Export"
    IDC_DISTANCE_LABEL = 1014,  // "Distance to center, m:"
    IDC_DISTANCE = 1015,        // distance read-out
    IDC_CURRENT_LABEL = 1016,   // "Current el:"
    IDC_CURRENT = 1017,         // current element read-out
    IDC_PARAMS_GROUP = 1018,    // "Parametrs of current profile" group box
    IDC_DIGITS_LABEL = 1019,    // "Digits in DAC:"
    IDC_DIGITS = 1020,          // its edit
    IDC_MAX_PHASE_LABEL = 1021, // "Maximum phase (in parts of PI):"
    IDC_MAX_PHASE = 1022,       // its edit
    IDC_ELEMENTS_LABEL = 1023,  // "Number of el.:"
    IDC_ELEMENTS = 1024,        // its edit
    IDC_APERTURE_LABEL = 1025,  // "Aperture, m:"
    IDC_APERTURE = 1026,        // its edit
    IDC_LOW_LABEL = 1027,       // low limit label (its text changes with the unit)
    IDC_LOW = 1028,             // low limit edit
    IDC_HIGH_LABEL = 1029,      // high limit label
    IDC_HIGH = 1030,            // high limit edit
    IDC_USE_CORRECTION = 1031,  // "Use Correction Table"
    IDC_PATH_LABEL = 1032,      // "Path:"
    IDC_CORRECTION_PATH = 1033, // correction path edit
    IDC_BROWSE = 1034,          // "Browse"
    IDC_APPLY_FRAME = 1035,     // the frame around "&Apply"
    IDC_APPLY = 1036,           // "&Apply"
    IDC_FROM_LIBRARY = 1037,    // "From library": the calibration library's table
    IDC_DATA_LIST = 1041,       // the data list
    IDC_GRAPH = 1049,           // the profile graph
};
