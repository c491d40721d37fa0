#pragma once

// The encoder's match finder: a binary search tree of the 18-byte strings that
// start at each window position, one tree per first byte. Internal to the
// encoder; its exact behaviour (walk order, tie rules, replacement of a node
// on a full match) decides the encoded bytes.

#include <cstdint>
#include <cstring>

#include "stream/lzss.h"

namespace corvane {

struct LzssMatchTree {
  static constexpr int kN = kLzssWindowSize;
  static constexpr int kF = kLzssMaxMatch;
  static constexpr std::uint16_t kNil = kN;  // "no node"
  static constexpr int kRoot = kN + 1;       // roots are kRoot + first byte

  // The window, followed by a copy of its first kF - 1 bytes so that a string
  // starting anywhere in the window can be compared without wrapping.
  std::uint8_t text[kN + kF - 1];
  // Children per window position, [0] left and [1] right; entries from kRoot on
  // are the 256 roots, which only ever use their right child. Entry kNil
  // absorbs the parent writes made for missing children. Keeping both
  // children together lets the walk pick one by index instead of branching.
  std::uint16_t son[kN + 257][2];
  std::uint16_t dad[kN + 1];
  int match_position = 0;
  int match_length = 0;

  void Init() {
    for (int i = kRoot; i < kRoot + 256; i++) son[i][1] = kNil;
    for (int i = 0; i < kN; i++) dad[i] = kNil;
  }

  // An 8-byte piece of a string as a big-endian number: pieces then compare
  // like the bytes they hold, and the first differing byte is the highest one.
  static std::uint64_t Piece(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
  }

  // Which child of its parent p is.
  int Side(int p) const { return son[dad[p]][1] == p ? 1 : 0; }

  // Inserts the string at r and records the longest match met on the way
  // (the first one on ties). The walk goes right when the new string is not
  // smaller; a full-length match takes the old node's place.
  void Insert(int r) {
    const std::uint8_t* key = &text[r];
    // Bytes 1..8, 9..16 and 17 of the new string, compared against each node.
    const std::uint64_t k1 = Piece(key + 1);
    const std::uint64_t k2 = Piece(key + 9);
    const std::uint64_t k3 = static_cast<std::uint64_t>(key[17]) << 56;
    int best_length = 0;
    int best_position = 0;
    son[r][0] = son[r][1] = kNil;
    int p = kRoot + key[0];
    int dir = 1;  // a root keeps its tree as its right child
    int next = son[p][1];
    while (next != kNil) {
      p = next;
      // Both children are fetched together with the node's bytes, so the next
      // step does not wait for a load that depends on the comparison.
      std::uint32_t children;
      std::memcpy(&children, son[p], sizeof(children));
      const std::uint8_t* node = &text[p];
      std::uint64_t n1 = Piece(node + 1);
      std::uint64_t n2 = Piece(node + 9);
      std::uint64_t n3 = static_cast<std::uint64_t>(node[17]) << 56;
      // The first piece that differs decides; selecting it without branches
      // avoids a mispredicted jump whenever a node shares 8 or more bytes.
      bool d1 = k1 != n1;
      bool d2 = k2 != n2;
      std::uint64_t a = d1 ? k1 : (d2 ? k2 : k3);
      std::uint64_t b = d1 ? n1 : (d2 ? n2 : n3);
      if (a == b) {
        ReplaceNode(p, r);
        match_length = kF;
        match_position = p;
        return;
      }
      int i = (d1 ? 1 : (d2 ? 9 : 17)) + (__builtin_clzll(a ^ b) >> 3);
      dir = a > b;
      // Only a strictly longer match counts: on ties the first node met wins.
      bool longer = i > best_length;
      best_position = longer ? p : best_position;
      best_length = longer ? i : best_length;
      // Little-endian pair: the left child is the low half.
      next = static_cast<int>((children >> (dir * 16)) & 0xFFFF);
    }
    son[p][dir] = static_cast<std::uint16_t>(r);
    dad[r] = static_cast<std::uint16_t>(p);
    match_length = best_length;
    match_position = best_position;
  }

  // r takes the place of p, which leaves the tree (a full 18-byte match).
  void ReplaceNode(int p, int r) {
    dad[r] = dad[p];
    son[r][0] = son[p][0];
    son[r][1] = son[p][1];
    dad[son[p][0]] = static_cast<std::uint16_t>(r);
    dad[son[p][1]] = static_cast<std::uint16_t>(r);
    son[dad[p]][Side(p)] = static_cast<std::uint16_t>(r);
    dad[p] = kNil;
  }

  // Removes the string at p; nothing when it is not in the tree.
  void Remove(int p) {
    if (dad[p] == kNil) return;
    int q;
    if (son[p][1] == kNil) {
      q = son[p][0];
    } else if (son[p][0] == kNil) {
      q = son[p][1];
    } else {
      // Both children: the in-order predecessor (rightmost of the left
      // subtree) takes p's place.
      q = son[p][0];
      if (son[q][1] != kNil) {
        do {
          q = son[q][1];
        } while (son[q][1] != kNil);
        son[dad[q]][1] = son[q][0];
        dad[son[q][0]] = dad[q];
        son[q][0] = son[p][0];
        dad[son[p][0]] = static_cast<std::uint16_t>(q);
      }
      son[q][1] = son[p][1];
      dad[son[p][1]] = static_cast<std::uint16_t>(q);
    }
    dad[q] = dad[p];
    son[dad[p]][Side(p)] = static_cast<std::uint16_t>(q);
    dad[p] = kNil;
  }
};

}  // namespace corvane
