#pragma once

class QPushButton;
class QString;
class QWidget;

// "History..." of the windows that show job lines: shown only to the levels that may see a
// line's history (LineHistory::mayView).
QPushButton *makeHistoryButton(const QString &securityLevel, QWidget *parent);
