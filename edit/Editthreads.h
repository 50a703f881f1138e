#pragma once

#include "EditSequence.h"

namespace velmora {

class Progress;
class TProcessForm;
struct Document;

// The edit workers.  Each body runs one edit on the document from the
// progress dialog's modal loop - the rewrite on "Processing:", the rescan
// on "Reloading:" - and ends the dialog.  They differ only in the edit
// they run; the volume worker also carries its gain and mute flag.
class TEditThread {
public:
    virtual ~TEditThread() = default;

    // The body; runs on the main thread from the dialog's modal loop.
    void Execute();

    EditRequest Request;

protected:
    TEditThread(Document& doc, TProcessForm& dialog, EditCommand command)
        : Request{command}, doc_(doc), dialog_(dialog)
    {
    }
    // What the body does between the two bars: the edit of Request.
    virtual void Run(Progress& processing, Progress& reloading);
    Document& Doc() const { return doc_; }

private:
    Document& doc_;
    TProcessForm& dialog_;
};

class TDelThread final : public TEditThread {
public:
    TDelThread(Document& doc, TProcessForm& dialog) : TEditThread(doc, dialog, EditCommand::Delete) {}
};

class TCutOutThread final : public TEditThread {
public:
    TCutOutThread(Document& doc, TProcessForm& dialog) : TEditThread(doc, dialog, EditCommand::CutOut) {}
};

// Request.Gain and Request.Mute are set before the worker runs.
class TSetVolumeThread final : public TEditThread {
public:
    TSetVolumeThread(Document& doc, TProcessForm& dialog) : TEditThread(doc, dialog, EditCommand::Volume) {}
};

class TFadeInThread final : public TEditThread {
public:
    TFadeInThread(Document& doc, TProcessForm& dialog) : TEditThread(doc, dialog, EditCommand::FadeIn) {}
};

class TFadeOutThread final : public TEditThread {
public:
    TFadeOutThread(Document& doc, TProcessForm& dialog) : TEditThread(doc, dialog, EditCommand::FadeOut) {}
};

// Undo and Redo run in the same dialog: putting bytes back is processing,
// the peaks reloading.
class TUndoThread final : public TEditThread {
public:
    TUndoThread(Document& doc, TProcessForm& dialog) : TEditThread(doc, dialog, EditCommand::Delete) {}

protected:
    void Run(Progress& processing, Progress& reloading) override;
};

class TRedoThread final : public TEditThread {
public:
    TRedoThread(Document& doc, TProcessForm& dialog) : TEditThread(doc, dialog, EditCommand::Delete) {}

protected:
    void Run(Progress& processing, Progress& reloading) override;
};

} // namespace velmora
