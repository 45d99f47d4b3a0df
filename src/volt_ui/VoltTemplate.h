// The volt-phase document type of the window program: CLC_VoltDoc in a CVoltChildFrame with a
// CTessaronVoltView, its icon, its topic in the user guide and its command table (Send).
#pragma once

#include <memory>

class DocTemplate;

std::unique_ptr<DocTemplate> MakeVoltTemplate();
