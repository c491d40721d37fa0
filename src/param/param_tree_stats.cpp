#include "param/param_tree_stats.h"

#include <vector>

#include "param/param_array.h"
#include "param/param_class.h"

namespace corvane {

namespace {

void WalkItems(const IParamArrayValue& item, ParamTreeStats& stats) {
  ++stats.array_items;
  if (item.IsArray()) {
    for (int i = 0; i < item.GetItemCount(); ++i) WalkItems(item.GetItem(i), stats);
    return;
  }
  if (item.IsTextValue() || item.IsExpression()) {
    stats.text_bytes += static_cast<uint64_t>(item.GetRawText().GetLength());
  } else {
    stats.text_bytes += static_cast<uint64_t>(item.GetInt());
  }
}

}  // namespace

ParamTreeStats CollectParamTreeStats(const ParamClass& root) {
  ParamTreeStats stats;
  stats.memory = root.GetOwnMemory() + root.GetChildMemory();
  // An explicit stack: a tree from a file may be deeper than the call stack.
  std::vector<std::pair<const ParamClass*, int>> pending{{&root, 0}};
  while (!pending.empty()) {
    auto [cls, depth] = pending.back();
    pending.pop_back();
    if (depth > stats.max_depth) stats.max_depth = depth;
    if (cls->GetBasePtr()) ++stats.classes_with_base;
    for (int i = 0; i < cls->GetEntryCount(); ++i) {
      const ParamEntry* entry = cls->LoadedEntryAt(i);
      if (const ParamClass* sub = entry->AsClass()) {
        if (sub->IsDelete()) {
          ++stats.deletions;
        } else if (!sub->IsDefined()) {
          ++stats.declarations;
        } else {
          ++stats.classes;
          pending.emplace_back(sub, depth + 1);
        }
      } else if (entry->IsArray()) {
        ++stats.arrays;
        for (int j = 0; j < entry->GetSize(); ++j) WalkItems(entry->GetItem(j), stats);
      } else {
        if (entry->IsTextValue()) ++stats.text_values;
        if (entry->IsFloatValue()) ++stats.float_values;
        if (entry->IsIntValue()) ++stats.int_values;
        if (entry->IsExpression()) ++stats.expressions;
        if (entry->IsTextValue() || entry->IsExpression()) {
          stats.text_bytes += static_cast<uint64_t>(entry->GetRawText().GetLength());
        } else {
          stats.text_bytes += static_cast<uint64_t>(entry->GetInt());
        }
      }
    }
  }
  return stats;
}

}  // namespace corvane
