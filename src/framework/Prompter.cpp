#include "framework/Prompter.h"

#include "framework/StringTable.h"

int Prompter::Message(int stringId, unsigned type) {
    return MessageBox(LoadString(stringId), type);
}
