#include "Reloadthread.h"

#include "Formreload.h"
#include "Zoom.h"

#include "app/BarProgress.h"
#include "app/DialogService.h"
#include "app/Formmain.h"
#include "app/ModalBody.h"

namespace velmora {

void TReloadThread::Execute()
{
    BarProgress bar(dialog_.ProgressBar1());
    RunReloadBody(main_.Doc, bar, AppDialogs());
    dialog_.done(FinishedResult);
    main_.update();
}

} // namespace velmora
