// The encoder's bytes checked against two independent readings of the
// algorithm: a plain transcription of the tree encoder (separate child
// arrays, byte-by-byte comparisons), which must agree byte for byte, and a
// brute-force search over the window, which knows nothing of the tree and
// checks every item's kind, length and source.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "stream/lzss.h"
#include "stream/lzss_test_support.h"

namespace corvane {
namespace {

using lzss_test::Bytes;
using lzss_test::EncodeToVector;
using lzss_test::Item;
using lzss_test::ParseItems;

constexpr int N = 4096;
constexpr int F = 18;
constexpr int NIL = N;

// The window as both references keep it: spaces up to the start position,
// zeros where nothing was written, and the copy of the first F - 1 bytes
// behind the end.
struct Window {
  std::uint8_t text[N + F - 1] = {};
  Window() {
    for (int i = 0; i < N - F; i++) text[i] = ' ';
  }
  void Put(int s, std::uint8_t c) {
    text[s] = c;
    if (s < F - 1) text[s + N] = c;
  }
};

// --- Plain transcription of the tree encoder --------------------------------

struct PlainTree {
  Window w;
  int lson[N + 1], rson[N + 257], dad[N + 1];
  int match_position = 0, match_length = 0;

  PlainTree() {
    for (int i = N + 1; i <= N + 256; i++) rson[i] = NIL;
    for (int i = 0; i < N; i++) dad[i] = NIL;
  }
  int& ChildOf(int parent, int p) { return rson[parent] == p ? rson[parent] : lson[parent]; }
  void Insert(int r) {
    int cmp = 1;
    const std::uint8_t* key = &w.text[r];
    int p = N + 1 + key[0];
    rson[r] = lson[r] = NIL;
    match_length = 0;
    for (;;) {
      int& child = cmp >= 0 ? rson[p] : lson[p];
      if (child == NIL) {
        child = r;
        dad[r] = p;
        return;
      }
      p = child;
      int i;
      for (i = 1; i < F; i++) {
        if ((cmp = key[i] - w.text[p + i]) != 0) break;
      }
      if (i > match_length) {
        match_position = p;
        if ((match_length = i) >= F) break;
      }
    }
    dad[r] = dad[p];
    lson[r] = lson[p];
    rson[r] = rson[p];
    dad[lson[p]] = r;
    dad[rson[p]] = r;
    ChildOf(dad[p], p) = r;
    dad[p] = NIL;
  }
  void Delete(int p) {
    if (dad[p] == NIL) return;
    int q;
    if (rson[p] == NIL) {
      q = lson[p];
    } else if (lson[p] == NIL) {
      q = rson[p];
    } else {
      q = lson[p];
      if (rson[q] != NIL) {
        do q = rson[q];
        while (rson[q] != NIL);
        rson[dad[q]] = lson[q];
        dad[lson[q]] = dad[q];
        lson[q] = lson[p];
        dad[lson[p]] = q;
      }
      rson[q] = rson[p];
      dad[rson[p]] = q;
    }
    dad[q] = dad[p];
    ChildOf(dad[p], p) = q;
    dad[p] = NIL;
  }
};

// The encoding loop, shared by both references: `Finder` supplies Insert,
// Delete, match_length, match_position and the window `w`.
template <class Finder>
Bytes EncodeWith(Finder& t, const Bytes& in) {
  Bytes out;
  if (in.empty()) return out;
  std::size_t at = 0;
  std::uint32_t sum = 0;
  int r = N - F, s = 0, len = 0;
  for (; len < F && at < in.size(); len++) {
    sum += in[at];
    t.w.text[r + len] = in[at++];
  }
  for (int i = 1; i <= F; i++) t.Insert(r - i);
  t.Insert(r);
  std::uint8_t code[17] = {0};
  int ptr = 1;
  unsigned mask = 1;
  do {
    int ml = t.match_length > len ? len : t.match_length;
    t.Emit(r, ml);
    if (ml <= 2) {
      ml = 1;
      code[0] |= mask;
      code[ptr++] = t.w.text[r];
    } else {
      int d = (r - t.match_position) & (N - 1);
      code[ptr++] = static_cast<std::uint8_t>(d);
      code[ptr++] = static_cast<std::uint8_t>(((d >> 4) & 0xF0) | (ml - 3));
    }
    if ((mask <<= 1) == 0x100) {
      out.insert(out.end(), code, code + ptr);
      code[0] = 0;
      ptr = 1;
      mask = 1;
    }
    int i = 0;
    for (; i < ml && at < in.size(); i++) {
      std::uint8_t c = in[at++];
      sum += c;
      t.Delete(s);
      t.w.Put(s, c);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      t.Insert(r);
    }
    while (i++ < ml) {
      t.Delete(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len) t.Insert(r);
    }
  } while (len > 0);
  if (ptr > 1) out.insert(out.end(), code, code + ptr);
  for (int k = 0; k < 4; k++) out.push_back(static_cast<std::uint8_t>(sum >> (8 * k)));
  return out;
}

struct PlainEncoder : PlainTree {
  void Emit(int, int) {}
};

// --- Brute force -------------------------------------------------------------

// Keeps the set of window strings the tree would hold (every inserted
// position until it is deleted or an equal 18-byte string replaces it) and
// finds the longest match by comparing against all of them. For each emitted
// reference it remembers every position of that length; a full-length match
// has exactly one candidate, the most recent equal string.
struct BruteForce {
  Window w;
  bool held[N] = {};
  int match_position = 0, match_length = 0;
  struct Expectation {
    int length;                // after the cut to the look-ahead; < 3: literal
    std::vector<int> sources;  // acceptable match positions for a reference
  };
  std::vector<Expectation> expected;
  std::vector<int> candidates;

  int Common(int a, int b) const {
    int i = 0;
    while (i < F && w.text[a + i] == w.text[b + i]) i++;
    return i;
  }
  void Insert(int r) {
    match_length = 0;
    candidates.clear();
    int equal = -1;
    for (int p = 0; p < N; p++) {
      if (!held[p] || w.text[p] != w.text[r]) continue;
      int n = Common(r, p);
      if (n > match_length) {
        match_length = n;
        candidates.clear();
      }
      if (n == match_length) candidates.push_back(p);
      if (n == F) equal = p;
    }
    if (equal >= 0) held[equal] = false;
    held[r] = true;
    match_position = candidates.empty() ? 0 : candidates.front();
  }
  void Delete(int p) { held[p] = false; }
  void Emit(int, int length) { expected.push_back({length, candidates}); }
};

// Runs the brute force over `data` and checks every item the encoder made.
void ExpectItemsMatchBruteForce(const Bytes& data) {
  auto brute = std::make_unique<BruteForce>();
  EncodeWith(*brute, data);
  Bytes packed = EncodeToVector(data);
  std::vector<Item> items = ParseItems(packed, data.size());
  ASSERT_EQ(items.size(), brute->expected.size());
  int r = N - F;
  for (std::size_t k = 0; k < items.size(); k++) {
    const auto& want = brute->expected[k];
    const Item& got = items[k];
    SCOPED_TRACE(testing::Message() << "item " << k);
    if (want.length < 3) {
      ASSERT_TRUE(got.literal);
    } else {
      ASSERT_FALSE(got.literal);
      ASSERT_EQ(got.length, want.length);
      int source = (r - got.distance) & (N - 1);
      bool known = false;
      for (int p : want.sources) known |= p == source;
      ASSERT_TRUE(known) << "source " << source << " is not a longest match";
      if (want.length == F) {
        ASSERT_EQ(want.sources.size(), 1u);
      }
    }
    r = (r + got.length) & (N - 1);
  }
}

Bytes PlainEncode(const Bytes& data) {
  auto plain = std::make_unique<PlainEncoder>();
  return EncodeWith(*plain, data);
}

TEST(LzssReference, PlainTranscriptionAgreesByteForByte) {
  std::mt19937 rng(77);
  std::vector<Bytes> inputs;
  for (int round = 0; round < 60; round++) {
    std::size_t size = round < 20 ? static_cast<std::size_t>(round) * 7 : rng() % 50000;
    inputs.push_back(lzss_test::MakeBytes(round % lzss_test::kDataKinds, size, rng()));
  }
  // Inputs that stress the tree: two byte values, a near-periodic text.
  Bytes binary(20000), periodic(20000);
  for (std::size_t i = 0; i < binary.size(); i++) {
    binary[i] = static_cast<std::uint8_t>(rng() & 1);
    periodic[i] = static_cast<std::uint8_t>("abcabcabd"[i % 9] + (rng() % 50 == 0));
  }
  inputs.push_back(binary);
  inputs.push_back(periodic);
  for (const std::string& path :
       {lzss_test::SelfPath(), std::string(CORVANE_SOURCE_DIR) + "/src/stream/lzss_decoder.cpp"}) {
    Bytes file;
    if (lzss_test::ReadFile(path, 1u << 20, file)) inputs.push_back(file);
  }
  for (std::size_t i = 0; i < inputs.size(); i++) {
    ASSERT_EQ(EncodeToVector(inputs[i]), PlainEncode(inputs[i])) << "input " << i;
  }
}

TEST(LzssReference, EveryItemIsALongestMatch) {
  // Short inputs that end inside the initial look-ahead, runs, and inputs
  // that pass the window's end so that the copy behind it is in use.
  for (const char* text : {"", "a", "abc", "aaaa", "abababababababababababab",
                           "the cat sat on the mat; the cat sat on the hat"}) {
    SCOPED_TRACE(text);
    ExpectItemsMatchBruteForce(Bytes(text, text + std::string(text).size()));
  }
  ExpectItemsMatchBruteForce(Bytes(1000, 'x'));
  ExpectItemsMatchBruteForce(Bytes(1024, ' '));
  std::mt19937 rng(5);
  for (int kind = 0; kind < lzss_test::kDataKinds; kind++) {
    SCOPED_TRACE(kind);
    ExpectItemsMatchBruteForce(lzss_test::MakeBytes(kind, 6000 + rng() % 3000, rng()));
  }
}

}  // namespace
}  // namespace corvane
