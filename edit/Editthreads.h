#pragma once

#include "EditSequence.h"
#include "Normalize.h"

namespace velmora {

class Progress;
class TProcessForm;
struct Document;

// The workers of the progress dialog "Process": each body runs from the
// dialog's modal loop with the two bars - "Processing:" for the working
// file, "Reloading:" for the peaks - and ends the dialog.
class TProcessThread {
public:
    virtual ~TProcessThread() = default;

    // The body; runs on the main thread from the dialog's modal loop.
    void Execute();

protected:
    TProcessThread(Document& doc, EditHistory& history, TProcessForm& dialog)
        : doc_(doc), history_(history), dialog_(dialog)
    {
    }
    // What the body does between the two bars.
    virtual void Run(Progress& processing, Progress& reloading) = 0;
    Document& Doc() const { return doc_; }
    EditHistory& History() const { return history_; }

private:
    Document& doc_;
    EditHistory& history_;
    TProcessForm& dialog_;
};

// The edit workers: they differ only in the edit they run; the volume
// worker also carries its gain and mute flag.  An edit without a worker
// of its own runs in a TEditThread made for its request.
class TEditThread : public TProcessThread {
public:
    EditRequest Request;

    TEditThread(Document& doc, EditHistory& history, TProcessForm& dialog, const EditRequest& request)
        : TProcessThread(doc, history, dialog), Request(request)
    {
    }

protected:
    void Run(Progress& processing, Progress& reloading) override;
};

class TDelThread final : public TEditThread {
public:
    TDelThread(Document& doc, EditHistory& history, TProcessForm& dialog)
        : TEditThread(doc, history, dialog, EditRequest{EditCommand::Delete})
    {
    }
};

class TCutOutThread final : public TEditThread {
public:
    TCutOutThread(Document& doc, EditHistory& history, TProcessForm& dialog)
        : TEditThread(doc, history, dialog, EditRequest{EditCommand::CutOut})
    {
    }
};

// Request.Gain and Request.Mute are set before the worker runs.
class TSetVolumeThread final : public TEditThread {
public:
    TSetVolumeThread(Document& doc, EditHistory& history, TProcessForm& dialog)
        : TEditThread(doc, history, dialog, EditRequest{EditCommand::Volume})
    {
    }
};

class TFadeInThread final : public TEditThread {
public:
    TFadeInThread(Document& doc, EditHistory& history, TProcessForm& dialog)
        : TEditThread(doc, history, dialog, EditRequest{EditCommand::FadeIn})
    {
    }
};

class TFadeOutThread final : public TEditThread {
public:
    TFadeOutThread(Document& doc, EditHistory& history, TProcessForm& dialog)
        : TEditThread(doc, history, dialog, EditRequest{EditCommand::FadeOut})
    {
    }
};

// Normalize: the range measured on the processing bar, then the gain that
// reaches the target applied as the edit; a target it cannot reach is
// shown, and nothing changes.
class TNormalizeThread final : public TProcessThread {
public:
    TNormalizeThread(Document& doc, EditHistory& history, TProcessForm& dialog, NormalizeTo what, double target)
        : TProcessThread(doc, history, dialog), what_(what), target_(target)
    {
    }

protected:
    void Run(Progress& processing, Progress& reloading) override;

private:
    NormalizeTo what_;
    double target_;  // dBFS or LUFS
};

// Undo and Redo run in the same dialog: putting bytes back is processing,
// the peaks reloading.
class TUndoThread final : public TProcessThread {
public:
    TUndoThread(Document& doc, EditHistory& history, TProcessForm& dialog) : TProcessThread(doc, history, dialog) {}

protected:
    void Run(Progress& processing, Progress& reloading) override;
};

class TRedoThread final : public TProcessThread {
public:
    TRedoThread(Document& doc, EditHistory& history, TProcessForm& dialog) : TProcessThread(doc, history, dialog) {}

protected:
    void Run(Progress& processing, Progress& reloading) override;
};

} // namespace velmora
