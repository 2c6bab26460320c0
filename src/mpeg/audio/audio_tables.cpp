#include "mpeg/audio/audio_tables.h"

#include <cmath>
#include <iterator>

namespace quendrolix::mp2 {
namespace {

AllocTable Hold(AllocTableNumber number, int sblimit, const AllocRow* rows, size_t count) {
  AllocTable table;
  table.number = number;
  table.sblimit = sblimit;
  for (size_t i = 0; i < count; ++i) {
    const AllocRow& r = rows[i];
    table.rows[r.subband][r.index] = {r.steps, r.bits, r.group, r.quant};
  }
  return table;
}

}  // namespace

const AllocTable& HeldAllocTable(AllocTableNumber number) {
  static const AllocTable tables[3] = {
      Hold(kTableB2a, kSblimitB2a, kAllocRowsB2a, std::size(kAllocRowsB2a)),
      Hold(kTableB2b, kSblimitB2b, kAllocRowsB2b, std::size(kAllocRowsB2b)),
      Hold(kTableB2c, kSblimitB2c, kAllocRowsB2c, std::size(kAllocRowsB2c)),
  };
  return tables[number];
}

const std::array<double, 64>& ScaleFactorValues() {
  static const std::array<double, 64> values = [] {
    std::array<double, 64> v{};
    for (int j = 0; j < 63; ++j) v[j] = std::pow(2.0, 1.0 - j / 3.0);
    v[63] = 1e-20;
    return v;
  }();
  return values;
}

const std::array<QuantClass, kQuantClasses>& QuantClasses() {
  // The steps of each class are read from the allocation tables, which between them
  // use every class.
  static const std::array<QuantClass, kQuantClasses> classes = [] {
    std::array<QuantClass, kQuantClasses> c{};
    for (const AllocRow* rows : {kAllocRowsB2a, kAllocRowsB2b, kAllocRowsB2c}) {
      size_t count = rows == kAllocRowsB2a   ? std::size(kAllocRowsB2a)
                     : rows == kAllocRowsB2b ? std::size(kAllocRowsB2b)
                                             : std::size(kAllocRowsB2c);
      for (size_t i = 0; i < count; ++i)
        if (rows[i].index != 0 && rows[i].quant < kQuantClasses)
          c[rows[i].quant].steps = rows[i].steps;
    }
    for (QuantClass& q : c) {
      int bits = 0;
      while ((1u << bits) < q.steps && bits < 16) ++bits;
      q.n = bits - 1;
      q.a = static_cast<double>(q.steps) / static_cast<double>(1u << bits);
      q.b = q.a - 1.0;
    }
    return c;
  }();
  return classes;
}

}  // namespace quendrolix::mp2
