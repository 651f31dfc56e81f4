#pragma once

// Fixed-width text tables for status dumps. Cells are centred in their column (an odd blank
// goes to the right); a text longer than its column is written whole and pushes the rest of the
// row to the right. A table is written with one Sentry per rule or row:
//
//     ext::Table table(10, 6);
//     ext::Table::Sentry(out, table) << ext::delimeter;
//     ext::Table::Sentry(out, table) << ext::beginrow << "name" << ext::nextrow << 5 << ext::nextrow;
//     ext::Table::Sentry(out, table) << ext::delimeter;

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace ext {

class Table {
public:
    class Sentry;

    Table() = default;
    template <class... Widths>
    explicit Table(int width, Widths... widths) : widths_{width, int(widths)...}
    {
    }

    void add(int width) { widths_.push_back(width); }
    void init() { resetrow(); }
    // A new row starts at the first column.
    void resetrow()
    {
        column_ = 0;
        row_open_ = false;
    }

    // Writes one cell; cells beyond the last column are dropped.
    void row(std::ostream& out, const std::string& text);
    // Completes an open row with blank cells.
    void finalize(std::ostream& out);
    // A rule: "+" and a '-' per character of each column.
    void delimeter(std::ostream& out);
    // An empty row.
    void gap(std::ostream& out);

private:
    void line(std::ostream& out, char edge, char fill);

    std::vector<int> widths_;
    int column_ = 0;
    bool row_open_ = false;
};

// Collects the text of one cell at a time and completes the row when it goes away.
class Table::Sentry {
public:
    Sentry(std::ostream& out, Table& table) : out_(out), table_(table) {}
    Sentry(const Sentry&) = delete;
    Sentry& operator=(const Sentry&) = delete;
    ~Sentry() { table_.finalize(out_); }

    template <class T>
    Sentry& operator<<(const T& value)
    {
        cell_ << value;
        return *this;
    }
    Sentry& operator<<(Sentry& (*manipulator)(Sentry&)) { return manipulator(*this); }
    Sentry& operator<<(std::ios_base& (*manipulator)(std::ios_base&))
    {
        cell_ << manipulator;
        return *this;
    }

    // Ends the current cell: writes the collected text and empties the buffer.
    void row() const;

    std::ostream& stream() const { return out_; }
    Table& table() const { return table_; }

private:
    std::ostream& out_;
    Table& table_;
    mutable std::ostringstream cell_;
};

Table::Sentry& beginrow(Table::Sentry& sentry);
Table::Sentry& nextrow(Table::Sentry& sentry);
Table::Sentry& delimeter(Table::Sentry& sentry);

}  // namespace ext
