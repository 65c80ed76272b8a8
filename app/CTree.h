#pragma once

#include <cstddef>
#include <deque>

#include "app/CTreeNode.h"

// Owns the root of the settings tree and every node hung below it.
//
// Nodes live in one arena rather than owning each other: a file with a million keys would
// otherwise be freed by a million nested destructor calls, which overflows the stack.
class CTree {
public:
  CTree() = default;
  CTree(const CTree&) = delete;
  CTree& operator=(const CTree&) = delete;

  CTreeNode* Root() { return &root_; }
  const CTreeNode* Root() const { return &root_; }

  // A new, unlinked node with the given text; it lives until Clear().
  CTreeNode* NewNode(TextRange range);

  // Frees every node and leaves an empty root.
  void Clear();

  std::size_t NodeCount() const { return nodes_.size(); }

private:
  CTreeNode root_;
  std::deque<CTreeNode> nodes_;  // a deque never moves what it already holds
};
