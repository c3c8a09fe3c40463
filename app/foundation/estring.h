// EString: the growable zero-terminated byte text in which figure lines, paste lists, attribute rows and whole
// files are assembled before they are written. Grows in large steps so long outputs reallocate rarely.
#pragma once

namespace kz::foundation {

class EString {
public:
    EString();
    virtual ~EString();
    EString(const EString&) = delete;
    EString& operator=(const EString&) = delete;
    EString(EString&& other) noexcept;
    EString& operator=(EString&& other) noexcept;

    // Appends length bytes of text (negative: up to its terminator), first cutting the text back to `cut` when
    // 0 <= cut < the current length. A null text changes nothing. Returns the new length. The text may lie inside
    // this buffer.
    int Append(const char* text, int cut = -1, int length = -1);
    // Appends each non-null text in order; returns the new length.
    int AppendParts(const char* t1, const char* t2 = nullptr, const char* t3 = nullptr, const char* t4 = nullptr,
                    const char* t5 = nullptr, const char* t6 = nullptr, const char* t7 = nullptr);
    // Replaces the text by length bytes of text (negative: up to its terminator); capacity becomes slack + length.
    int Assign(const char* text, int length = -1);

    const char* text() const { return buffer_ ? buffer_ : ""; }
    int length() const { return length_; }
    int capacity() const { return capacity_; }

private:
    int unused_ = 0;
    int step_ = 1024;
    int slack_ = 102;  // room that must stay free after an append
    int length_ = 0;
    int capacity_ = 1;
    char* buffer_ = nullptr;
};

}  // namespace kz::foundation
