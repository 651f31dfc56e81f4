#include "foundation/util/ext_table.h"

#include <algorithm>

namespace ext {

void Table::row(std::ostream& out, const std::string& text)
{
    if (column_ >= int(widths_.size()))
        return;
    row_open_ = true;
    int width = std::max(widths_[column_], 0);
    int length = std::min(int(text.size()), width);
    out << '|' << std::string((width - length) / 2, ' ') << text << std::string((width - length + 1) / 2, ' ');
    if (++column_ == int(widths_.size())) {
        out << "|\n";
        row_open_ = false;
    }
}

void Table::finalize(std::ostream& out)
{
    while (row_open_)
        row(out, " ");
}

void Table::delimeter(std::ostream& out) { line(out, '+', '-'); }

void Table::gap(std::ostream& out) { line(out, '|', ' '); }

void Table::line(std::ostream& out, char edge, char fill)
{
    finalize(out);
    if (widths_.empty())
        return;
    for (int width : widths_)
        out << edge << std::string(std::max(width, 0), fill);
    out << edge << '\n';
}

void Table::Sentry::row() const
{
    table_.row(out_, cell_.str());
    cell_.str(std::string());
}

Table::Sentry& beginrow(Table::Sentry& sentry)
{
    sentry.table().resetrow();
    return sentry;
}

Table::Sentry& nextrow(Table::Sentry& sentry)
{
    sentry.row();
    return sentry;
}

Table::Sentry& delimeter(Table::Sentry& sentry)
{
    sentry.table().delimeter(sentry.stream());
    return sentry;
}

}  // namespace ext
