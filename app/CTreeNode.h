#pragma once

#include "app/TextRange.h"

// One node of the settings tree: the root (no text), a section, a key or a value. A node
// names its text by index range into the reader's buffer instead of holding a copy.
// Nodes are owned by their CTree; the links here never own anything.
struct CTreeNode {
  TextRange range;
  CTreeNode* next = nullptr;   // next sibling, in file order
  CTreeNode* child = nullptr;  // first child, in file order
};
