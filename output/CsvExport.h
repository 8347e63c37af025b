#pragma once
#include "util/GridCells.h"
#include <QString>

class QWidget;

// "Сохранить": asks for a file with the Save dialog (object name "SaveDialog1") and writes
// the grid. Failures are shown in a message box; cancelling writes nothing.
void exportGridWithDialog(QWidget* parent, const GridCells& grid);

// Writes the whole grid as cp1251 CSV with CRLF line ends; false and a message on failure,
// leaving any existing file at path untouched.
bool writeGridCsv(const GridCells& grid, const QString& path, QString* error);
