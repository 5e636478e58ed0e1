// 連続貼り付け, pasting in the order copied: while the mode is on, every text the history records
// (and every entry added with Shift+Enter) waits at the end of a queue. The clipboard holds the
// first; each paste the target really makes moves the queue on to the next, and the last one
// pasted ends the mode, leaving it on the clipboard.
//
// How a paste is known: the first entry goes onto the clipboard announced, not rendered, and
// marked for clipboard monitors and Windows' clipboard history to leave it alone. A program that
// reads it makes Windows ask us for it (WM_RENDERFORMAT): a read while the paste key is down, or
// before its release has been waited out, is the paste. A read without the key is another
// reader's (a monitor that ignores the marks), and so is one before the key went down (or
// repeated) for this text: it moves nothing, but the text is rendered then,
// and the target's read that follows cannot be seen; then the release of the paste key, and a
// short pause, stand for the paste. A paste key that no read follows pasted nothing.
//
// The queue is plain state: the window feeds it what happens and does what it answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

struct QueuedText {
    std::wstring text;
    bool secret = false; // from a tab open for the run: cleared from the clipboard once the queue is done with it
};

// What the window does next.
enum class QueueStep {
    Nothing,
    PutFirst, // put the first text on the clipboard (announced, rendered when read)
    Finished, // the last text was pasted: the mode is off and the clipboard keeps it
};

class PasteQueue {
public:
    // After the release of the paste key, how long a paste that could not be seen is waited for.
    static constexpr uint64_t kPauseAfterKeyMs = 400;

    bool On() const { return on_; }
    // The texts still to paste, the one on the clipboard first.
    size_t Waiting() const { return texts_.size(); }
    const QueuedText* First() const { return texts_.empty() ? nullptr : &texts_.front(); }
    // Texts pasted since the mode went on, and the last of them.
    size_t Pasted() const { return pasted_; }
    const QueuedText& LastPasted() const { return lastPasted_; }

    // F9, the toolbar button or the tray item: on with nothing waiting, or off at once (the
    // clipboard keeps what it holds).
    void Begin();
    void End();

    // A text joins the end: PutFirst when the first text is not on the clipboard (a copy has just
    // replaced it, or the queue was empty).
    QueueStep Add(QueuedText text);
    // The first text went onto the clipboard, announced.
    void FirstPut();

    // The keyboard hook saw the paste key go down (each repeat too) or up.
    void KeyDown(uint64_t now);
    QueueStep KeyUp(uint64_t now);
    // A program read the first text (it was rendered for it).
    QueueStep Read(uint64_t now);
    // Time passes (a timer while a release is waited out).
    QueueStep Tick(uint64_t now);
    // Another program's change took the first text off the clipboard.
    void ClipboardTaken() { onClipboard_ = false; }
    // A release is being waited out (the window runs a timer for Tick).
    bool AwaitingPause() const { return pauseFrom_ != 0; }

private:
    QueueStep Next();

    bool on_ = false;
    std::deque<QueuedText> texts_;
    size_t pasted_ = 0;
    QueuedText lastPasted_;
    bool onClipboard_ = false; // the first text is on the clipboard, announced
    bool readEarly_ = false;   // ... and was read without the paste key: a paste cannot be seen any more
    bool keyDown_ = false;     // the paste key is down
    bool keySince_ = false;    // ... went down (or repeated) since the first text went on the clipboard
    uint64_t pauseFrom_ = 0;   // the paste key went up then; its paste is waited out (0: none)
};
