#include "app/PasteQueue.h"

#include <utility>

void PasteQueue::Begin() {
    *this = PasteQueue();
    on_ = true;
}

void PasteQueue::End() {
    *this = PasteQueue();
}

QueueStep PasteQueue::Add(QueuedText text) {
    if (!on_)
        return QueueStep::Nothing;
    texts_.push_back(std::move(text));
    return onClipboard_ ? QueueStep::Nothing : QueueStep::PutFirst;
}

void PasteQueue::FirstPut() {
    onClipboard_ = true;
    readEarly_ = false;
    keySince_ = false; // a key still held from the last paste is no paste of this text until it repeats
    pauseFrom_ = 0;
}

void PasteQueue::KeyDown(uint64_t) {
    keyDown_ = true;
    keySince_ = true;
    pauseFrom_ = 0;
}

QueueStep PasteQueue::KeyUp(uint64_t now) {
    keyDown_ = false;
    if (on_ && onClipboard_ && keySince_)
        pauseFrom_ = now; // a read in this pause is still the key's (a busy target reads late)
    return QueueStep::Nothing;
}

QueueStep PasteQueue::Read(uint64_t) {
    if (!on_ || !onClipboard_)
        return QueueStep::Nothing;
    if (keySince_ && (keyDown_ || pauseFrom_ != 0))
        return Next(); // the paste: read for the key
    readEarly_ = true; // another reader; the text is rendered now, and the target's read cannot be seen
    return QueueStep::Nothing;
}

QueueStep PasteQueue::Tick(uint64_t now) {
    if (pauseFrom_ == 0 || now - pauseFrom_ < kPauseAfterKeyMs)
        return QueueStep::Nothing;
    pauseFrom_ = 0;
    // Read before the key: the paste could not be seen, and the key stands for it. Still unread:
    // the key pasted nothing (no program took it as a paste).
    return readEarly_ ? Next() : QueueStep::Nothing;
}

QueueStep PasteQueue::Next() {
    lastPasted_ = std::move(texts_.front());
    texts_.pop_front();
    ++pasted_;
    onClipboard_ = false;
    readEarly_ = false;
    pauseFrom_ = 0;
    if (!texts_.empty())
        return QueueStep::PutFirst;
    on_ = false; // the last one stays on the clipboard
    return QueueStep::Finished;
}
