#include "sim/ssd1306.h"

#include <algorithm>

namespace sim {

using host::Time;

Ssd1306::Ssd1306(host::Machine& machine, std::uint8_t address) : machine_(machine), address_(address) {
  machine_.i2c1().attach(address_, this);
  machine_.add_power_listener(this);
  update_supply();
}

Ssd1306::~Ssd1306() {
  machine_.remove_power_listener(this);
  machine_.i2c1().detach(address_);
}

// ---------------------------------------------------------------- supply

void Ssd1306::set_connected(bool connected) {
  connected_ = connected;
  update_supply();
}

void Ssd1306::on_power(Time, bool) { update_supply(); }

void Ssd1306::update_supply() {
  const bool on = connected_ && machine_.powered();
  if (on && !powered_) power_up();
  powered_ = on;
  if (!on) next_ = Next::Nothing;
}

// The power-on reset: registers at their reset values and a display RAM
// that holds whatever the cells came up with (a fixed pattern here, so that
// runs repeat), shown only once the display is switched on.
void Ssd1306::power_up() {
  contrast_ = 0x7F;
  display_on_ = false;
  entire_on_ = false;
  inverse_ = false;
  charge_pump_ = false;
  scrolling_ = false;
  segment_remap_ = false;
  com_remap_ = false;
  multiplex_ = kHeight;
  offset_ = 0;
  start_line_ = 0;
  com_pins_ = 0x12;
  mode_ = Mode::Page;
  column_ = page_ = 0;
  column_start_ = 0;
  column_end_ = kWidth - 1;
  page_start_ = 0;
  page_end_ = kPages - 1;
  cmd_len_ = cmd_need_ = 0;
  next_ = Next::Nothing;
  std::uint32_t noise = 0x5EED1306u;
  for (auto& page : ram_)
    for (auto& byte : page) {
      noise ^= noise << 13;
      noise ^= noise >> 17;
      noise ^= noise << 5;
      byte = static_cast<std::uint8_t>(noise);
    }
}

// ---------------------------------------------------------------- bus side

bool Ssd1306::i2c_start(Time, std::uint8_t address, bool read) {
  if (!powered_ || address != address_) return false;
  ++traffic_.transactions;
  reading_ = read;
  next_ = read ? Next::Nothing : Next::Control;
  return true;
}

bool Ssd1306::i2c_write(Time, std::uint8_t byte) {
  if (!powered_) return false;
  switch (next_) {
    case Next::Control:
      // Co (bit 7) = 1: one byte follows, then another control byte;
      // Co = 0: every following byte is of the kind D/C# (bit 6) gives.
      one_byte_ = (byte & 0x80) != 0;
      next_ = (byte & 0x40) != 0 ? Next::Data : Next::Command;
      return true;
    case Next::Command:
    case Next::Data:
      if (next_ == Next::Data) {
        data_byte(byte);
      } else {
        command_byte(byte);
      }
      if (one_byte_) next_ = Next::Control;
      return true;
    case Next::Nothing:
      return false;
  }
  return false;
}

// On the serial interfaces only the status byte can be read: bit 6 is set
// while the display is off.
std::uint8_t Ssd1306::i2c_read(Time, bool) {
  if (!powered_ || !reading_) return 0xFF;
  return display_on_ ? 0x00 : 0x40;
}

void Ssd1306::i2c_stop(Time) {
  next_ = Next::Nothing;
  reading_ = false;
}

// ---------------------------------------------------------------- commands

namespace {
// Parameter bytes that follow each command byte.
int parameters_of(std::uint8_t c) {
  switch (c) {
    case 0x81:  // contrast
    case 0x20:  // memory addressing mode
    case 0xA8:  // multiplex ratio
    case 0xD3:  // display offset
    case 0xD5:  // clock divide ratio and oscillator frequency
    case 0xD9:  // pre-charge period
    case 0xDA:  // COM pins hardware configuration
    case 0xDB:  // VCOMH deselect level
    case 0x8D:  // charge pump
      return 1;
    case 0x21:  // column address range
    case 0x22:  // page address range
    case 0xA3:  // vertical scroll area
      return 2;
    case 0x29:  // vertical and horizontal scroll set-up
    case 0x2A:
      return 5;
    case 0x26:  // horizontal scroll set-up
    case 0x27:
      return 6;
    default:
      return 0;
  }
}
}  // namespace

void Ssd1306::command_byte(std::uint8_t byte) {
  ++traffic_.commands;
  cmd_[cmd_len_++] = byte;
  if (cmd_len_ == 1) cmd_need_ = 1 + parameters_of(byte);
  if (cmd_len_ < cmd_need_) return;
  execute();
  cmd_len_ = cmd_need_ = 0;
}

void Ssd1306::execute() {
  const std::uint8_t c = cmd_[0];
  const std::uint8_t a = cmd_[1];
  if (c <= 0x0F) {  // lower nibble of the column, page addressing mode
    if (mode_ == Mode::Page) column_ = (column_ & 0x70) | c;
    return;
  }
  if (c <= 0x1F) {  // upper nibble of the column, page addressing mode
    if (mode_ == Mode::Page) column_ = (column_ & 0x0F) | ((c & 0x07) << 4);
    return;
  }
  if (c >= 0x40 && c <= 0x7F) {
    start_line_ = c & 0x3F;
    return;
  }
  if (c >= 0xB0 && c <= 0xB7) {  // page start, page addressing mode
    if (mode_ == Mode::Page) page_ = c & 0x07;
    return;
  }
  switch (c) {
    case 0x81: contrast_ = a; break;
    case 0xA4: entire_on_ = false; break;
    case 0xA5: entire_on_ = true; break;
    case 0xA6: inverse_ = false; break;
    case 0xA7: inverse_ = true; break;
    case 0xAE: display_on_ = false; break;
    case 0xAF: display_on_ = true; break;
    case 0x20:
      if ((a & 0x03) != 0x03) mode_ = static_cast<Mode>(a & 0x03);  // 11b is invalid
      break;
    case 0x21:  // also puts the column pointer at the start
      column_start_ = a & 0x7F;
      column_end_ = cmd_[2] & 0x7F;
      column_ = column_start_;
      break;
    case 0x22:  // also puts the page pointer at the start
      page_start_ = a & 0x07;
      page_end_ = cmd_[2] & 0x07;
      page_ = page_start_;
      break;
    case 0xA0: segment_remap_ = false; break;
    case 0xA1: segment_remap_ = true; break;
    case 0xC0: com_remap_ = false; break;
    case 0xC8: com_remap_ = true; break;
    case 0xA8:
      if ((a & 0x3F) >= 15) multiplex_ = (a & 0x3F) + 1;  // 0..14 are invalid
      break;
    case 0xD3: offset_ = a & 0x3F; break;
    case 0xDA: com_pins_ = a & 0x32; break;
    case 0x8D: charge_pump_ = (a & 0x04) != 0; break;
    case 0x2E: scrolling_ = false; break;
    case 0x2F: scrolling_ = true; break;
    default: break;  // timing, levels, scroll set-up, NOP: no effect on the picture
  }
}

void Ssd1306::data_byte(std::uint8_t byte) {
  ++traffic_.data_bytes;
  ram_[page_][column_] = byte;
  switch (mode_) {
    case Mode::Page:  // along the page, back to column 0 after the last
      column_ = column_ == kWidth - 1 ? 0 : column_ + 1;
      break;
    case Mode::Horizontal:  // along the column range, then the next page
      if (column_ >= column_end_) {
        column_ = column_start_;
        page_ = page_ >= page_end_ ? page_start_ : page_ + 1;
      } else {
        ++column_;
      }
      break;
    case Mode::Vertical:  // down the page range, then the next column
      if (page_ >= page_end_) {
        page_ = page_start_;
        column_ = column_ >= column_end_ ? column_start_ : column_ + 1;
      } else {
        ++page_;
      }
      break;
  }
}

// ---------------------------------------------------------------- the glass

// The module's rows are wired for the alternative COM pin layout: even rows
// from the pins on one side of the chip, odd rows from the other. With the
// sequential layout the halves of the COM lines interleave; the left/right
// remap swaps the sides.
int Ssd1306::ram_row_of_glass_row(int row) const {
  const bool alternative = (com_pins_ & 0x10) != 0;
  const bool left_right = (com_pins_ & 0x20) != 0;
  const int side = (row & 1) ^ (left_right ? 1 : 0);
  const int k = row / 2;
  const int com = alternative ? 2 * k + side : side * (kHeight / 2) + k;
  if (com >= multiplex_) return -1;  // not driven
  // The scan counter drives COM0 first, or COM[N-1] first when remapped;
  // the offset moves the picture up by that many COM lines, the start line
  // picks the RAM row shown first.
  const int scan = com_remap_ ? multiplex_ - 1 - com : com;
  return (scan + offset_ + start_line_) % kHeight;
}

bool Ssd1306::glowing() const { return powered_ && display_on_ && charge_pump_; }

bool Ssd1306::lit(int x, int y) const {
  if (!glowing() || x < 0 || x >= kWidth || y < 0 || y >= kHeight) return false;
  // Mounted upside down: the driver's top left is the glass's bottom right.
  const int segment = kWidth - 1 - x;
  const int row = kHeight - 1 - y;
  const int ram_row = ram_row_of_glass_row(row);
  if (ram_row < 0) return false;
  if (entire_on_) return true;
  const int column = segment_remap_ ? kWidth - 1 - segment : segment;
  const bool on = (ram_[ram_row / 8][column] >> (ram_row % 8)) & 1;
  return on != inverse_;
}

int Ssd1306::lit_count() const {
  if (!glowing()) return 0;
  // Each driven row of the glass shows one RAM row in all its columns (the
  // mounting and the remaps only reorder rows and columns).
  int n = 0;
  for (int row = 0; row < kHeight; ++row) {
    const int ram_row = ram_row_of_glass_row(row);
    if (ram_row < 0) continue;
    if (entire_on_) {
      n += kWidth;
      continue;
    }
    int on = 0;
    for (const std::uint8_t b : ram_[ram_row / 8]) on += (b >> (ram_row % 8)) & 1;
    n += inverse_ ? kWidth - on : on;
  }
  return n;
}

Picture Ssd1306::photo(int scale) const {
  scale = std::max(scale, 1);
  const int border = 2 * scale;
  Picture p(kWidth * scale + 2 * border, kHeight * scale + 2 * border);
  const std::uint8_t glass[3] = {12, 14, 18};
  const std::uint8_t dark[3] = {22, 25, 31};      // an unlit pixel, just visible
  const std::uint8_t light[3] = {190, 232, 255};  // a lit one at full contrast
  const double brightness = 0.55 + 0.45 * contrast_ / 255.0;
  for (int i = 0; i < p.width * p.height; ++i) std::copy(glass, glass + 3, &p.rgb[static_cast<std::size_t>(i) * 3]);
  const int cell = scale > 1 ? scale - 1 : 1;  // a thin gap between pixels
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      std::uint8_t c[3];
      const bool on = lit(x, y);
      for (int k = 0; k < 3; ++k)
        c[k] = on ? static_cast<std::uint8_t>(light[k] * brightness + 0.5) : dark[k];
      for (int dy = 0; dy < cell; ++dy)
        for (int dx = 0; dx < cell; ++dx) std::copy(c, c + 3, p.at(border + x * scale + dx, border + y * scale + dy));
    }
  return p;
}

}  // namespace sim
