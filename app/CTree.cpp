#include "app/CTree.h"

CTreeNode* CTree::NewNode(TextRange range) {
  CTreeNode& node = nodes_.emplace_back();
  node.range = range;
  return &node;
}

void CTree::Clear() {
  nodes_.clear();
  nodes_.shrink_to_fit();
  root_ = CTreeNode{};
}
