// The desktop tools and web pages the main window starts. Their names and
// addresses live in one resource file, links.ini.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

enum class ToolKind { Calculator, TextEditor };

// Candidate programs for a tool, in order of preference.
QStringList ToolCandidates(ToolKind kind);
// The first candidate installed on this system, or "" when none is.
QString FindTool(ToolKind kind);
// The address behind a navigation caption, or "" when it has none.
QString LinkAddress(const QString& caption);

// Starts the tool / opens the page; false when nothing could be started
// (no such program installed, no browser), so the window can say so.
bool StartTool(ToolKind kind);
bool OpenLink(const QString& caption);

// Test seam: receives ("program", path) or ("url", address) instead of the desktop.
void SetLauncher(std::function<void(const QString& kind, const QString& target)> launcher);
