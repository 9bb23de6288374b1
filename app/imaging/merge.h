// Merging the two layers: the composite becomes the lower icon, exactly as if
// it had been saved as a 24-bit icon file and that file dropped on the lower
// slot, and the upper slot is freed for a further icon.
#pragma once

#include "imaging/icon.h"
#include "imaging/icon_writer.h"
#include "imaging/layers.h"
#include "imaging/palette.h"
#include "imaging/result.h"

namespace pg {

// The depth the merge writes with; Save's depth setting is left at it.
inline constexpr int kMergeDepth = 24;
// Where the merge puts the transparent upper icon: wholly outside the cell,
// so it neither shows nor can be picked by a press.
inline constexpr Offset kMergedUpperOffset{kCellSize, kCellSize};

// The composite through the key-colour split, the icon writer at 24 bits and
// the .ico reader, in memory. Key-coloured pixels come back transparent,
// every other pixel opaque with its own colour. The writer's palette build
// runs as in a save and updates `table`.
Result<Icon> FlattenComposite(const Image& composite, PaletteTable& table,
                              const ProgressFn& progress = {});

// Lower slot := FlattenComposite(composite) at 0, 0, its source the
// composite at every size (FlattenSources); upper slot := the transparent
// icon with no source at kMergedUpperOffset; then a rebuild. The composite
// shows the same pixels afterwards, at every size. On failure the model is
// left as it was.
Error MergeIcons(LayerModel& model, PaletteTable& table, const ProgressFn& progress = {});

}  // namespace pg
