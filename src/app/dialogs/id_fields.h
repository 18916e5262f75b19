// The three fields of a registration ID as every dialog shows them.
#pragma once

#include <QHBoxLayout>
#include <QLineEdit>
#include <QWidget>
#include <array>

namespace qv::ui {

// Adds "[ ] － [ ] － [ ]" to `row` and puts the fields into `fields`: right
// aligned, four digits wide, typing limited to three characters each.
void AddIdFields(QHBoxLayout* row, std::array<QLineEdit*, 3>& fields, QWidget* parent);

}  // namespace qv::ui
