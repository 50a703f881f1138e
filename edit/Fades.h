#pragma once

#include "EditBody.h"

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

// Fade In and Fade Out: every sample of frame i of the edit range becomes
// x * g / 100 (32-bit integer arithmetic, truncating), clamped, where with
// the step length L = N / 100 frames
//   Fade In:  g = i / L          (0 % for the first L frames ... 99 %)
//   Fade Out: g = 100 - i / L    (100 % for the first L frames ... 1 %)
// Both channels of a frame get the same g.  The peaks are rescanned into
// the existing arrays, also when the range is empty.  A gate, when given,
// is asked before every write.
EditEnd RunFadeInBody(Document& doc, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs, WriteGate* gate = nullptr);
EditEnd RunFadeOutBody(Document& doc, Progress& processing, Progress& reloading,
                       UserDialogs& dialogs, WriteGate* gate = nullptr);

} // namespace velmora
