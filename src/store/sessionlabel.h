#pragma once

#include <QString>
#include <array>
#include <optional>

// Labels the cells of stored session `id` in the store at `path` after the
// fact (the label set while recording was wrong or missing). A channel whose
// label is not given keeps its own; an empty label removes it. Works while a
// program records into the store. Refuses, with a user-facing message in
// `error`, a path that is not a store of ours, and an id that is not there.
bool LabelStoredSession(const QString& path, qint64 id,
                        const std::array<std::optional<QString>, 2>& cells, QString* error);
