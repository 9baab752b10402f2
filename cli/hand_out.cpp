#include "cli/hand_out.h"

#include <algorithm>
#include <map>

namespace qelva::cli {

HandOut::HandOut(const std::vector<uint64_t>& cost, const std::vector<size_t>& folderOf) {
  std::vector<size_t> order(cost.size());
  for (size_t t = 0; t < order.size(); ++t) order[t] = t;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return cost[a] > cost[b]; });
  std::map<size_t, size_t> indexOf;  // folder number -> index into folders_
  std::vector<uint64_t> folderCost;
  for (size_t t : order) {
    const auto [it, fresh] = indexOf.try_emplace(folderOf[t], folders_.size());
    if (fresh) {
      folders_.emplace_back();
      folderCost.push_back(0);
    }
    folders_[it->second].tasks.push_back(t);
    folderCost[it->second] += cost[t];
  }
  std::vector<size_t> byCost(folders_.size());
  for (size_t f = 0; f < byCost.size(); ++f) byCost[f] = f;
  std::stable_sort(byCost.begin(), byCost.end(),
                   [&](size_t a, size_t b) { return folderCost[a] > folderCost[b]; });
  std::vector<Folder> sorted;
  sorted.reserve(folders_.size());
  for (size_t f : byCost) sorted.push_back(std::move(folders_[f]));
  folders_ = std::move(sorted);
}

size_t HandOut::Next(size_t& folder) {
  std::lock_guard lock(mutex_);
  if (folder >= folders_.size() || folders_[folder].Done()) {
    if (unbegun_ < folders_.size()) {
      folder = unbegun_++;
    } else {
      while (open_ < folders_.size() && folders_[open_].Done()) ++open_;
      if (open_ == folders_.size()) return kNone;
      folder = open_;
    }
  }
  Folder& f = folders_[folder];
  return f.tasks[f.next++];
}

}  // namespace qelva::cli
