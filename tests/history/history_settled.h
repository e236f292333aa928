// The History asks a worker for what the archive holds: a test waits, the
// window's events going on, until the answers are in.
#pragma once

#include <QTest>

#include "history/history_window.h"

inline bool Settled(HistoryWindow& window) {
  return QTest::qWaitFor([&window] { return !window.Loading(); }, 60000);
}

// Every page of the list, as scrolling to its end would load them.
inline void FetchAll(HistoryWindow& window) {
  Settled(window);
  while (window.Model().canFetchMore({})) {
    window.Model().fetchMore({});
    Settled(window);
  }
}
