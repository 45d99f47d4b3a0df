// The profile document type of the window program: CTessaronDoc in a CChildFrame with a
// CTessaronView, its icon, its topic in the user guide and its command table (Send, Edit Data,
// Clear all data).
#pragma once

#include <memory>

class DocTemplate;

std::unique_ptr<DocTemplate> MakeProfileTemplate();
