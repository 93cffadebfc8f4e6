#include "tools/viewer/viewer_layout.h"

#include <algorithm>
#include <cstdint>

#include "tools/viewer/viewer_model.h"

namespace fpu::viewer {

namespace {

// Rows a band's text may take before the rest is cut (a long query or note).
constexpr std::size_t kMaxBandRows = 3;

std::size_t columns_in(int pixels, int char_width) {
  return static_cast<std::size_t>(std::max(pixels / std::max(char_width, 1), 1));
}

// Cuts rows past `most`, the last kept one ending in "..." to say so.
void cut_rows(std::vector<std::string>& rows, std::size_t most, std::size_t columns) {
  if (rows.size() <= most) return;
  rows.resize(most);
  std::string& last = rows.back();
  if (columns <= 3) return;
  last = last.substr(0, std::min(last.size(), columns - 3)) + "...";
}

// The F1 list needs this many columns for what a chord does beside the chords.
constexpr std::size_t kLeastDoesColumns = 16;

std::size_t chord_columns(const std::vector<KeyHelp>& keys) {
  std::size_t width = 0;
  for (const KeyHelp& k : keys) width = std::max(width, k.keys.size());
  return width;
}

// The F1 list's rows in `columns` characters: a column of chords, then what they do, and
// when that is too narrow, each chord above its wrapped line.
std::vector<std::string> help_rows(const std::vector<KeyHelp>& keys, std::size_t columns) {
  std::vector<std::string> rows = wrap_text(kKeyListTitle, columns);
  rows.emplace_back();
  const std::size_t chord_width = chord_columns(keys);
  const bool side_by_side = chord_width + 1 + kLeastDoesColumns <= columns;
  for (const KeyHelp& k : keys) {
    if (side_by_side) {
      const auto does = wrap_text(k.does, columns - chord_width - 1);
      for (std::size_t i = 0; i < does.size(); ++i) {
        std::string row = i == 0 ? k.keys : std::string();
        row.resize(chord_width + 1, ' ');
        rows.push_back(row + does[i]);
      }
    } else {
      for (std::string& row : wrap_text(k.keys, columns)) rows.push_back(row);
      for (std::string& row : wrap_text(k.does, columns > 2 ? columns - 2 : columns)) {
        rows.push_back((columns > 2 ? "  " : "") + row);
      }
    }
  }
  return rows;
}

}  // namespace

std::vector<std::string> wrap_text(std::string_view text, std::size_t columns) {
  columns = std::max<std::size_t>(columns, 1);
  std::vector<std::string> rows;
  while (text.size() > columns) {
    // The last blank that leaves the row within `columns`; a word longer than a row is cut.
    std::size_t cut = text.substr(0, columns + 1).find_last_of(' ');
    std::size_t next = cut;
    if (cut == std::string_view::npos || cut == 0) {
      cut = next = columns;
    } else {
      while (cut > 0 && text[cut - 1] == ' ') --cut;
      while (next < text.size() && text[next] == ' ') ++next;
    }
    rows.emplace_back(text.substr(0, cut));
    text.remove_prefix(next);
  }
  if (!text.empty() || rows.empty()) rows.emplace_back(text);
  return rows;
}

TextPosition ViewerLayout::position_at(int x, int y, std::uint64_t top) const {
  const int inside =
      std::clamp(y - text.y - margin, 0, std::max(static_cast<int>(rows) * line_height - 1, 0));
  const int row = inside / std::max(line_height, 1);
  const int column = std::max((x - text_left + char_width / 2) / std::max(char_width, 1), 0);
  return {top + static_cast<std::uint64_t>(row), static_cast<std::size_t>(column)};
}

int ViewerLayout::edge_scroll(int y) const {
  return y < text.y ? -1 : y >= text.y + text.height ? 1 : 0;
}

LayoutSize least_size(const LayoutMetrics& m) {
  const std::int64_t margin = std::max(m.margin, 0);
  const std::int64_t inset = margin + 1;
  const std::int64_t char_width = std::max(m.char_width, 1);
  const std::int64_t scroll_bar = std::max(m.scroll_bar, 0);
  const auto keys = ViewerModel::key_list();
  // The key line on one row; the F1 list with its chords beside what they do.
  const std::int64_t list_chrome = 2 * inset + 3 * margin + scroll_bar;
  const std::int64_t width = std::max(
      static_cast<std::int64_t>(std::string_view(ViewerModel::key_line()).size()) * char_width +
          2 * margin,
      static_cast<std::int64_t>(chord_columns(keys) + 1 + kLeastDoesColumns) * char_width +
          list_chrome);
  const std::size_t rows =
      help_rows(keys, static_cast<std::size_t>((width - list_chrome) / char_width)).size();
  const std::int64_t height =
      static_cast<std::int64_t>(rows) * std::max(m.line_height, 1) + 2 * margin + 2 * inset;
  return {static_cast<int>(std::min<std::int64_t>(width, INT32_MAX)),
          static_cast<int>(std::min<std::int64_t>(height, INT32_MAX))};
}

ViewerLayout lay_out(const ViewerModel& model, const LayoutMetrics& m) {
  ViewerLayout out;
  out.margin = std::max(m.margin, 0);
  out.line_height = std::max(m.line_height, 1);
  out.char_width = std::max(m.char_width, 1);
  const int margin = out.margin;
  const std::size_t band_columns = columns_in(m.width - 2 * margin, out.char_width);

  // The bands, from the bottom up: the key line, the status, the open bar. Each wraps onto
  // a few rows; where the window is too low for them all and a row of text, rows go from
  // the key line first, then the status, the bar's last.
  std::vector<std::string> keys = wrap_text(ViewerModel::key_line(), band_columns);
  std::vector<std::string> status;
  std::vector<std::string> bar;
  if (const std::string note = model.status(); !note.empty()) {
    status = wrap_text(note, band_columns);
  }
  if (model.bar_open()) bar = wrap_text(model.bar_line(), band_columns);
  std::vector<std::string>* by_priority[] = {&keys, &status, &bar};
  for (auto* rows : by_priority) cut_rows(*rows, kMaxBandRows, band_columns);
  const auto bands_height = [&] {
    int total = 0;
    for (auto* rows : by_priority) {
      if (!rows->empty()) total += static_cast<int>(rows->size()) * out.line_height + margin;
    }
    return total;
  };
  const int room = m.height - (out.line_height + margin);
  for (auto* rows : by_priority) {
    while (rows->size() > 1 && bands_height() > room)
      cut_rows(*rows, rows->size() - 1, band_columns);
  }
  for (auto* rows : by_priority) {
    if (bands_height() > std::max(m.height, 0)) rows->clear();
  }
  int bottom = m.height;
  const auto band = [&](std::vector<std::string>& rows) {
    LayoutBox b;
    b.rows = std::move(rows);
    const int height =
        b.rows.empty() ? 0 : static_cast<int>(b.rows.size()) * out.line_height + margin;
    bottom -= height;
    b.box = {0, bottom, m.width, height};
    b.text_x = margin;
    b.text_y = bottom + margin / 2;
    return b;
  };
  out.keys = band(keys);
  if (!status.empty()) out.status = band(status);
  if (!bar.empty()) {
    out.bar = band(bar);
    // The bar's selected text, as far as its first row shows it.
    const std::size_t from = model.bar_label_size();
    const std::size_t shown = out.bar->rows.front().size();
    if (model.bar_selected() && from < shown) {
      const std::size_t length = std::min(model.bar_text_size(), shown - from);
      out.bar->mark = {out.bar->text_x + static_cast<int>(from) * out.char_width, out.bar->text_y,
                       static_cast<int>(length) * out.char_width, out.line_height};
    }
  }

  const int text_height = std::max(bottom, 0);
  const int bar_width = std::clamp(m.scroll_bar, 0, m.width);
  out.text = {0, 0, m.width - bar_width, text_height};
  out.scroll_bar = {m.width - bar_width, 0, bar_width, bar_width > 0 ? text_height : 0};
  out.text_left = margin + static_cast<int>(model.time_columns()) * out.char_width;
  out.rows = static_cast<std::size_t>(std::max(text_height - margin, 0) / out.line_height);

  if (model.help_shown()) {
    // The list's own text decides its width: a column of chords, then what they do, and
    // when the window is too narrow for that, each chord above its wrapped line.
    const int inset = margin + 1;  // inside the one-pixel border
    // Clear of the scroll bar by a margin.
    const std::size_t columns =
        columns_in(m.width - bar_width - 3 * margin - 2 * inset, out.char_width);
    LayoutBox help;
    help.rows = help_rows(ViewerModel::key_list(), columns);
    // Rows past the window's height would not be seen: the box ends with the last that fits.
    const std::size_t fit =
        static_cast<std::size_t>(std::max(m.height - 2 * margin - 2 * inset, 0) / out.line_height);
    if (help.rows.size() > fit) help.rows.resize(fit);
    std::size_t longest = 0;
    for (const std::string& row : help.rows) longest = std::max(longest, row.size());
    help.box = {margin, margin, static_cast<int>(longest) * out.char_width + 2 * inset,
                static_cast<int>(help.rows.size()) * out.line_height + 2 * inset};
    help.text_x = help.box.x + inset;
    help.text_y = help.box.y + inset;
    out.help = std::move(help);
  }
  return out;
}

}  // namespace fpu::viewer
