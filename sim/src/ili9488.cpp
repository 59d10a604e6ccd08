#include "sim/ili9488.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace sim {

using host::Time;

namespace {

// Commands of the controller this model carries out.
constexpr std::uint8_t kNop = 0x00;
constexpr std::uint8_t kSoftwareReset = 0x01;
constexpr std::uint8_t kSleepIn = 0x10;
constexpr std::uint8_t kSleepOut = 0x11;
constexpr std::uint8_t kNormalMode = 0x13;
constexpr std::uint8_t kInversionOff = 0x20;
constexpr std::uint8_t kInversionOn = 0x21;
constexpr std::uint8_t kDisplayOff = 0x28;
constexpr std::uint8_t kDisplayOn = 0x29;
constexpr std::uint8_t kColumnAddress = 0x2A;
constexpr std::uint8_t kPageAddress = 0x2B;
constexpr std::uint8_t kMemoryWrite = 0x2C;
constexpr std::uint8_t kMadctl = 0x36;
constexpr std::uint8_t kPixelFormat = 0x3A;
constexpr std::uint8_t kMemoryWriteContinue = 0x3C;
constexpr std::uint8_t kInterfaceMode = 0xB0;

constexpr std::uint8_t kMadctlMY = 0x80;
constexpr std::uint8_t kMadctlMX = 0x40;
constexpr std::uint8_t kMadctlMV = 0x20;
constexpr std::uint8_t kMadctlBGR = 0x08;

// Bits per pixel of the host interface (DBI field of the pixel format).
constexpr std::uint8_t kDbi18 = 0x06;
constexpr std::uint8_t kDbi3 = 0x01;

constexpr std::uint32_t k18Bits = 0x3FFFF;

std::uint8_t to_8bit(std::uint32_t six) { return static_cast<std::uint8_t>((six << 2) | (six >> 4)); }

// A run of pixels along the column addresses, three bytes each; the upper six
// bits of each byte count. With the BGR bit the first byte lights red.
template <bool kBgr>
void decode_run(std::uint32_t* out, std::ptrdiff_t step, const std::uint8_t* in, int n) {
  constexpr int red = kBgr ? 0 : 2, blue = kBgr ? 2 : 0;
  for (int k = 0; k < n; ++k, in += 3, out += step) {
    *out = (static_cast<std::uint32_t>(in[red] >> 2) << 12) | (static_cast<std::uint32_t>(in[1] >> 2) << 6) |
           static_cast<std::uint32_t>(in[blue] >> 2);
  }
}

// Copies the bytes of a run of pixels: glyph rows are short, and a library
// call for each costs more than the copy.
inline void copy_run(std::uint8_t* to, const std::uint8_t* from, std::size_t n) {
  if (n < 16) {
    std::memcpy(to, from, n);
    return;
  }
  for (std::size_t k = 0; k + 16 <= n; k += 16) std::memcpy(to + k, from + k, 16);
  std::memcpy(to + n - 16, from + n - 16, 16);  // the tail, overlapping what is done
}

}  // namespace

Ili9488::Ili9488(host::Machine& machine)
    : journal_bytes_(new std::uint8_t[kJournalBytes]),
      latest_(kLatestSlots),
      machine_(machine),
      wire_(static_cast<std::size_t>(kColumns) * kRows * 3, 0),
      unsettled_(kGlassHeight),
      memory_(static_cast<std::size_t>(kColumns) * kRows, 0) {
  host::Gpio& g = machine_.gpio();
  dc_ = dc_before_ = g.level(pins::lcd_dc);
  cs_ = cs_before_ = g.level(pins::lcd_cs);
  res_low_ = !g.level(pins::lcd_res);
  g.add_listener(pins::lcd_dc, this);
  g.add_listener(pins::lcd_cs, this);
  g.add_listener(pins::lcd_res, this);
  machine_.add_power_listener(this);
  machine_.spi1().attach(this);
  powered_ = machine_.powered();
  reset_registers(machine_.now());
}

Ili9488::~Ili9488() {
  machine_.spi1().detach(this);
  machine_.remove_power_listener(this);
  host::Gpio& g = machine_.gpio();
  g.remove_listener(pins::lcd_dc, this);
  g.remove_listener(pins::lcd_cs, this);
  g.remove_listener(pins::lcd_res, this);
}

// ---------------------------------------------------------------- the glass

bool Ili9488::lit() const { return powered_ && !res_low_ && !sleeping_ && display_on_; }

std::uint32_t Ili9488::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= kGlassWidth || y >= kGlassHeight) return 0;
  settle();
  return memory_[static_cast<std::size_t>(y) * kGlassWidth + static_cast<std::size_t>(x)];
}

std::uint32_t Ili9488::shown(int x, int y) const {
  if (!lit()) return 0;
  const std::uint32_t v = pixel(x, y);
  return inverted_ ? (~v & k18Bits) : v;
}

Picture Ili9488::picture() const {
  settle();
  Picture p(kGlassWidth, kGlassHeight);
  for (int y = 0; y < kGlassHeight; ++y) {
    for (int x = 0; x < kGlassWidth; ++x) {
      const std::uint32_t v = shown(x, y);
      std::uint8_t* rgb = p.at(x, y);
      rgb[0] = to_8bit((v >> 12) & 0x3F);
      rgb[1] = to_8bit((v >> 6) & 0x3F);
      rgb[2] = to_8bit(v & 0x3F);
    }
  }
  return p;
}

// ---------------------------------------------------------------- lines and power

void Ili9488::on_pin_level(host::PinId pin, Time t, bool level) {
  if (pin == pins::lcd_dc) {
    dc_before_ = dc_;
    dc_ = level;
    dc_changed_ = t;
  } else if (pin == pins::lcd_cs) {
    cs_before_ = cs_;
    cs_ = level;
    cs_changed_ = t;
  } else if (pin == pins::lcd_res) {
    if (!level && !res_low_) {
      res_low_ = true;
      res_fell_ = t;
    } else if (level && res_low_) {
      res_low_ = false;
      if (powered_ && t - res_fell_ >= kMinResetPulse) {
        ++counters_.resets;
        reset_registers(t);
      }
    }
  }
}

void Ili9488::on_power(Time t, bool on) {
  powered_ = on;
  // The frame memory does not keep its contents without power; what a
  // powered-up memory holds is undefined, here black.
  std::fill(memory_.begin(), memory_.end(), 0u);
  std::fill(wire_.begin(), wire_.end(), std::uint8_t{0});
  std::fill(unsettled_.begin(), unsettled_.end(), Span{});
  any_unsettled_ = false;
  journal_.clear();
  journal_used_ = 0;
  ++latest_generation_;
  reset_registers(t);
}

void Ili9488::reset_registers(Time t) {
  sleeping_ = true;
  display_on_ = false;
  inverted_ = false;
  set_madctl(0);
  pixel_format_ = 0x66;
  interface_mode_ = 0;
  start_column_ = 0;
  end_column_ = kColumns - 1;
  start_page_ = 0;
  end_page_ = kRows - 1;
  pending_ = Pending::None;
  param_count_ = 0;
  partial_count_ = 0;
  column_ = page_ = 0;
  ready_at_ = t + kWakeTime;
  sleep_out_at_ = t + kSleepOutAfterReset;
}

// ---------------------------------------------------------------- the bus

void Ili9488::spi_bytes(Time start, Time end, const std::uint8_t* bytes, std::size_t count) {
  (void)end;
  // Each byte is taken with the lines as they stood while it was sent; a line
  // that changed during the burst is a fault of the sender, and the burst is
  // taken with the level it started with.
  bool dc = dc_, cs = cs_;
  if (dc_changed_ > start) {
    dc = dc_before_;
    ++counters_.line_changes;
  }
  if (cs_changed_ > start) {
    cs = cs_before_;
    ++counters_.line_changes;
  }
  if (!powered_ || res_low_ || cs) {
    counters_.unselected_bytes += count;
    return;
  }
  if (dc) {
    data(bytes, count);
  } else {
    for (std::size_t i = 0; i < count; ++i) command(bytes[i], start);
  }
}

void Ili9488::command(std::uint8_t c, Time t) {
  // Any command ends the one before; an unfinished pixel is lost.
  pending_ = Pending::None;
  param_count_ = 0;
  partial_count_ = 0;
  if (t < ready_at_ || (c == kSleepOut && t < sleep_out_at_)) {
    ++counters_.early_commands;
    pending_ = Pending::Ignore;
    return;
  }
  ++counters_.commands;
  switch (c) {
    case kNop:
    case kNormalMode:
      break;
    case kSoftwareReset:
      ++counters_.resets;
      reset_registers(t);
      break;
    case kSleepIn:
      sleeping_ = true;
      ready_at_ = t + kWakeTime;
      break;
    case kSleepOut:
      sleeping_ = false;
      ready_at_ = t + kWakeTime;
      break;
    case kInversionOff:
      inverted_ = false;
      break;
    case kInversionOn:
      inverted_ = true;
      break;
    case kDisplayOff:
      display_on_ = false;
      break;
    case kDisplayOn:
      display_on_ = true;
      break;
    case kColumnAddress:
      pending_ = Pending::ColumnAddress;
      break;
    case kPageAddress:
      pending_ = Pending::PageAddress;
      break;
    case kMemoryWrite:
      begin_memory_write(true);
      break;
    case kMemoryWriteContinue:
      begin_memory_write(false);
      break;
    case kMadctl:
      pending_ = Pending::Madctl;
      break;
    case kPixelFormat:
      pending_ = Pending::PixelFormat;
      break;
    case kInterfaceMode:
      pending_ = Pending::InterfaceMode;
      break;
    default:
      --counters_.commands;
      ++counters_.unknown_commands;
      counters_.last_unknown = c;
      pending_ = Pending::Ignore;  // and its parameters with it
      break;
  }
}

void Ili9488::data(const std::uint8_t* d, std::size_t n) {
  switch (pending_) {
    case Pending::MemoryWrite:
      if ((pixel_format_ & 0x07) == kDbi18) {
        write_pixels(d, n);
      } else if ((pixel_format_ & 0x07) == kDbi3) {
        write_pixels_3bit(d, n);
      } else {
        counters_.format_bytes += n;  // 16 bits a pixel is not offered on the serial interface
      }
      return;
    case Pending::Ignore:
      return;
    case Pending::None:
      counters_.stray_data += n;
      return;
    case Pending::ColumnAddress:
    case Pending::PageAddress:
      // An address window comes as one block of four bytes: take it whole.
      if (param_count_ == 0 && n == 4) {
        address_range(d);
        pending_ = Pending::None;
        return;
      }
      [[fallthrough]];
    default:
      for (std::size_t i = 0; i < n; ++i) parameter(d[i]);
      return;
  }
}

// A column or page address range: start and end, two bytes each, high
// first. A start after the end is refused and the range stays as it was.
void Ili9488::address_range(const std::uint8_t* p) {
  const int first = (p[0] << 8) | p[1];
  const int last = (p[2] << 8) | p[3];
  if (first > last) {
    ++counters_.bad_windows;
  } else if (pending_ == Pending::ColumnAddress) {
    start_column_ = first;
    end_column_ = last;
  } else {
    start_page_ = first;
    end_page_ = last;
  }
}

void Ili9488::parameter(std::uint8_t b) {
  if (pending_ == Pending::None) {
    ++counters_.stray_data;
    return;
  }
  params_[param_count_++] = b;
  switch (pending_) {
    case Pending::Madctl:
      set_madctl(b);
      break;
    case Pending::PixelFormat:
      pixel_format_ = b;
      break;
    case Pending::InterfaceMode:
      interface_mode_ = b;
      break;
    case Pending::ColumnAddress:
    case Pending::PageAddress:
      if (param_count_ < 4) return;
      address_range(params_);
      break;
    default:
      break;
  }
  pending_ = Pending::None;  // every parameter block is complete here
  param_count_ = 0;
}

// ---------------------------------------------------------------- frame memory

void Ili9488::begin_memory_write(bool from_start) {
  pending_ = Pending::MemoryWrite;
  partial_count_ = 0;
  // A continued write goes on from the last pixel, unless the window has
  // since moved away from it.
  const bool inside = column_ >= start_column_ && column_ <= end_column_ && page_ >= start_page_ && page_ <= end_page_;
  if (from_start || !inside) {
    column_ = start_column_;
    page_ = start_page_;
  }
}

// Memory address of a host (column, page) under the access control: MV
// exchanges the two, then MX mirrors the memory column and MY the memory row.
std::size_t Ili9488::memory_index(int column, int page) const {
  const bool mv = (madctl_ & kMadctlMV) != 0;
  int mem_column = mv ? page : column;
  int mem_row = mv ? column : page;
  if (madctl_ & kMadctlMX) mem_column = kColumns - 1 - mem_column;
  if (madctl_ & kMadctlMY) mem_row = kRows - 1 - mem_row;
  return stored_at(mem_column, mem_row);
}

void Ili9488::set_madctl(std::uint8_t value) {
  if (((value ^ madctl_) & kMadctlBGR) != 0) {
    // Bytes already taken keep the colours of the order they came in: decode
    // them, then write every pixel's bytes out again in the new order.
    settle();
    const bool bgr = (value & kMadctlBGR) != 0;
    for (std::size_t k = 0; k < memory_.size(); ++k) {
      const std::uint32_t v = memory_[k];
      const auto red = static_cast<std::uint8_t>(((v >> 12) & 0x3F) << 2);
      const auto green = static_cast<std::uint8_t>(((v >> 6) & 0x3F) << 2);
      const auto blue = static_cast<std::uint8_t>((v & 0x3F) << 2);
      std::uint8_t* w = &wire_[3 * k];
      w[0] = bgr ? red : blue;
      w[1] = green;
      w[2] = bgr ? blue : red;
    }
  }
  madctl_ = value;
}

void Ili9488::settle_all() const {
  apply_journal();
  const bool bgr = (madctl_ & kMadctlBGR) != 0;
  for (int row = 0; row < kGlassHeight; ++row) {
    Span& s = unsettled_[static_cast<std::size_t>(row)];
    if (s.lo >= s.hi) continue;
    const std::size_t at = static_cast<std::size_t>(row) * kGlassWidth + s.lo;
    if (bgr) {
      decode_run<true>(memory_.data() + at, 1, wire_.data() + 3 * at, s.hi - s.lo);
    } else {
      decode_run<false>(memory_.data() + at, 1, wire_.data() + 3 * at, s.hi - s.lo);
    }
    s = Span{};
  }
  any_unsettled_ = false;
}

// Steps the address counters: along the column range, then to the next page;
// past the last page the write wraps to the window's start.
void Ili9488::advance(int pixels) {
  column_ += pixels;
  while (column_ > end_column_) {
    column_ -= end_column_ - start_column_ + 1;
    page_ = page_ >= end_page_ ? start_page_ : page_ + 1;
  }
}

void Ili9488::store(const std::uint8_t* bytes) {
  const bool mv = (madctl_ & kMadctlMV) != 0;
  const int column_limit = mv ? kRows : kColumns;
  const int page_limit = mv ? kColumns : kRows;
  if (column_ < column_limit && page_ < page_limit) {
    const std::size_t at = memory_index(column_, page_);
    std::memcpy(&wire_[3 * at], bytes, 3);
    mark_unsettled(at, 1);
    ++counters_.pixels;
  } else {
    ++counters_.clipped_pixels;
  }
  advance(1);
}

// The pixel stream, three bytes a pixel, taken a row of the window at a time.
void Ili9488::write_pixels(const std::uint8_t* d, std::size_t n) {
  if (journal_takes(n)) {
    journal(d, n);
    return;
  }
  if (!journal_.empty()) apply_journal();
  std::size_t i = 0;
  if (partial_count_ > 0) {
    while (partial_count_ < 3 && i < n) partial_[partial_count_++] = d[i++];
    if (partial_count_ < 3) return;
    store(partial_);
    partial_count_ = 0;
  }
  const bool mv = (madctl_ & kMadctlMV) != 0;
  const int column_limit = mv ? kRows : kColumns;
  const int page_limit = mv ? kColumns : kRows;
  // Storage step from one column address to the next (the mapping is affine).
  const std::ptrdiff_t step =
      static_cast<std::ptrdiff_t>(memory_index(1, 0)) - static_cast<std::ptrdiff_t>(memory_index(0, 0));
  std::size_t pixels = (n - i) / 3;
  // The unit's own orientation: the window's rows are runs of glass rows, one
  // under the other. Whole rows go straight through.
  const std::ptrdiff_t page_step =
      static_cast<std::ptrdiff_t>(memory_index(0, 1)) - static_cast<std::ptrdiff_t>(memory_index(0, 0));
  if (step == 1 && page_step == kGlassWidth && column_ == start_column_ && end_column_ < column_limit) {
    const int width = end_column_ - start_column_ + 1;
    const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
    while (pixels >= static_cast<std::size_t>(width) && page_ < page_limit) {
      const std::size_t at = memory_index(column_, page_);
      copy_run(&wire_[3 * at], d + i, row_bytes);
      mark_unsettled(at, width);
      counters_.pixels += static_cast<std::uint64_t>(width);
      i += row_bytes;
      pixels -= static_cast<std::size_t>(width);
      page_ = page_ >= end_page_ ? start_page_ : page_ + 1;
    }
  }
  while (pixels > 0) {
    const int run = static_cast<int>(std::min<std::size_t>(pixels, static_cast<std::size_t>(end_column_ - column_ + 1)));
    if (page_ < page_limit && column_ + run <= column_limit) {
      const std::size_t at = memory_index(column_, page_);
      if (step == 1) {
        copy_run(&wire_[3 * at], d + i, static_cast<std::size_t>(run) * 3);
        mark_unsettled(at, run);
      } else {
        for (int k = 0; k < run; ++k) {
          const auto to = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(at) + k * step);
          std::memcpy(&wire_[3 * to], d + i + 3 * static_cast<std::size_t>(k), 3);
          mark_unsettled(to, 1);
        }
      }
      counters_.pixels += static_cast<std::uint64_t>(run);
      i += static_cast<std::size_t>(run) * 3;
      advance(run);
    } else {
      for (int k = 0; k < run; ++k, i += 3) store(d + i);
    }
    pixels -= static_cast<std::size_t>(run);
  }
  while (i < n) partial_[partial_count_++] = d[i++];
}

bool Ili9488::journal_takes(std::size_t n) const {
  constexpr std::uint8_t unit = kMadctlMY | kMadctlMX | kMadctlMV;
  // The unit's orientation stores host (column, page) at page * 480 + column.
  return partial_count_ == 0 && n % 3 == 0 && n <= kJournalBytes && (madctl_ & unit) == unit &&
         end_column_ < kRows && end_page_ < kColumns && column_ >= start_column_ && column_ <= end_column_ &&
         page_ >= start_page_ && page_ <= end_page_;
}

void Ili9488::journal(const std::uint8_t* d, std::size_t n) {
  if (journal_used_ + n > kJournalBytes || 2 * (journal_.size() + 1) > kLatestSlots) apply_journal();
  const auto pixels = static_cast<std::uint32_t>(n / 3);
  const auto index = static_cast<std::uint32_t>(journal_.size());
  journal_.push_back(Transfer{static_cast<std::uint32_t>(journal_used_), pixels,
                              static_cast<std::uint16_t>(start_column_), static_cast<std::uint16_t>(end_column_),
                              static_cast<std::uint16_t>(start_page_), static_cast<std::uint16_t>(end_page_),
                              static_cast<std::uint16_t>(column_), static_cast<std::uint16_t>(page_), true});
  std::memcpy(journal_bytes_.get() + journal_used_, d, n);
  journal_used_ += n;

  // The transfer's kind: window, starting place and length (9 bits each
  // place, every one below 512).
  const std::uint64_t key = static_cast<std::uint64_t>(start_column_) | static_cast<std::uint64_t>(end_column_) << 9 |
                            static_cast<std::uint64_t>(start_page_) << 18 |
                            static_cast<std::uint64_t>(end_page_) << 27 | static_cast<std::uint64_t>(column_) << 36 |
                            static_cast<std::uint64_t>(page_) << 45;
  std::size_t slot = static_cast<std::size_t>(((key ^ (std::uint64_t{pixels} << 54)) * 0x9E3779B97F4A7C15ull) >> 52);
  for (;; slot = (slot + 1) & (kLatestSlots - 1)) {
    Latest& l = latest_[slot];
    if (l.generation != latest_generation_) {
      l = Latest{key, pixels, index, latest_generation_};
      break;
    }
    if (l.key == key && l.pixels == pixels) {
      journal_[l.transfer].live = false;
      l.transfer = index;
      break;
    }
  }

  // The address counters move on as they would pixel by pixel.
  counters_.pixels += pixels;
  const std::uint32_t width = static_cast<std::uint32_t>(end_column_ - start_column_ + 1);
  const std::uint32_t height = static_cast<std::uint32_t>(end_page_ - start_page_ + 1);
  const std::uint64_t along = static_cast<std::uint64_t>(column_ - start_column_) + pixels;
  column_ = start_column_ + static_cast<int>(along % width);
  page_ = start_page_ + static_cast<int>((static_cast<std::uint64_t>(page_ - start_page_) + along / width) % height);
}

// Copies the live transfers into place, oldest first.
void Ili9488::apply_journal() const {
  for (const Transfer& t : journal_) {
    if (!t.live) continue;
    const std::uint8_t* d = journal_bytes_.get() + t.offset;
    int column = t.column, page = t.page;
    std::uint32_t left = t.pixels;
    while (left > 0) {
      const std::uint32_t run = std::min<std::uint32_t>(left, static_cast<std::uint32_t>(t.end_column - column + 1));
      const std::size_t at = static_cast<std::size_t>(page) * kGlassWidth + static_cast<std::size_t>(column);
      copy_run(&wire_[3 * at], d, static_cast<std::size_t>(run) * 3);
      mark_unsettled(at, static_cast<int>(run));
      d += static_cast<std::size_t>(run) * 3;
      left -= run;
      column += static_cast<int>(run);
      if (column > t.end_column) {
        column = t.start_column;
        page = page >= t.end_page ? t.start_page : page + 1;
      }
    }
  }
  journal_.clear();
  journal_used_ = 0;
  ++latest_generation_;
}

// Three bits a pixel, two pixels a byte: bits 5..3 and 2..0, each bit one
// colour at full or no intensity.
void Ili9488::write_pixels_3bit(const std::uint8_t* d, std::size_t n) {
  if (!journal_.empty()) apply_journal();
  for (std::size_t i = 0; i < n; ++i) {
    for (int shift : {3, 0}) {
      const std::uint8_t bits = static_cast<std::uint8_t>(d[i] >> shift);
      const auto full = [](bool on) { return static_cast<std::uint8_t>(on ? 0xFC : 0x00); };
      const std::uint8_t px[3] = {full(bits & 4), full(bits & 2), full(bits & 1)};
      store(px);
    }
  }
}

// ---------------------------------------------------------------- world part

void TftDisplay::trace(ojson& world) {
  ojson t;
  t["lit"] = panel.lit();
  t["pixels"] = panel.counters().pixels;
  t["unknown_commands"] = panel.counters().unknown_commands;
  world["tft"] = t;
}

void TftDisplay::snapshot(const std::string& dir, const std::string& name) {
  write_png((std::filesystem::path(dir) / ("tft-" + name + ".png")).string(), panel.picture());
}

}  // namespace sim
