// The GUI application a report needs to paint text, for a command line that
// has no display.
#pragma once

#include <QGuiApplication>
#include <memory>

// A GUI application on the offscreen platform (unless QT_QPA_PLATFORM says
// otherwise) for as long as the pointer lives; null when one already runs.
std::unique_ptr<QGuiApplication> OffscreenGuiApplication();
