// The error list (ListBox1): one item per message, each with the position
// of its log line (0 until one is attached) and the message's own bytes,
// which Save errors writes unchanged. During a run the list takes its new
// items a few times a second rather than one by one: each insert lays out
// the whole list again. The list scrolls as wide as its widest item (all
// items share one size, for speed), an item cut off by the edge of the list
// shows its whole text as a tooltip, and the Menu key and Shift+F10 open
// the context menu at the current item.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QIcon>

#include <array>
#include <string_view>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QWidget;

namespace corvala::ui {

class ErrorList {
public:
    // During a run the list is repainted at most this often.
    static constexpr int RepaintMilliseconds = 100;
    // Item data roles: the attached log position (int) and the message's
    // own bytes (QByteArray).
    static constexpr int PositionRole = Qt::UserRole;
    static constexpr int BytesRole = Qt::UserRole + 1;

    explicit ErrorList(QWidget* parent);
    ~ErrorList();
    ErrorList(const ErrorList&) = delete;
    ErrorList& operator=(const ErrorList&) = delete;

    QListWidget* widget() const noexcept { return list_; }

    void Clear();
    // Appends an item with the position 0; `icon` may be null.
    void Add(std::string_view message, const QIcon& icon = QIcon());
    // Attaches `position` to the newest item; nothing when there is none.
    void AttachToLast(int position);
    // Attaches `position` to item `index` (counting items not yet shown).
    void Attach(int index, int position);
    // Items so far, those not yet shown included.
    int Count() const noexcept;

    int Position(int index) const;
    QByteArray Bytes(int index) const;
    // The selected item's index, or -1.
    int Selected() const;

    // While suspended (a run), new items wait and join the list a few times
    // a second (RepaintDue); what is on screen is still painted when exposed.
    void SetPaintingSuspended(bool suspended);
    // Moves waiting items into the list. Raises "Unable to insert a line"
    // when the list does not take them all.
    void Flush();
    // During a run: shows the waiting items when the last repaint is old
    // enough; true when it did (the caller then processes events and calls
    // EndRepaint).
    bool RepaintDue();
    void EndRepaint();

    // True while items are added or removed by the program, not the user.
    bool Filling() const noexcept { return filling_; }

    // The width of `text` in the list's font: the sum of its characters'
    // advances, which is fast enough for a million items (the shaped width
    // takes some 9 microseconds an item) and close enough for scrolling.
    int TextWidth(const QString& text) const;
    // The width of the widest item's text so far (TextWidth).
    int WidestText() const noexcept { return widestText_; }
    // Measures all items again (after a change of the font).
    void Remeasure();

private:
    QListWidgetItem* ItemAt(int index) const;

    QListWidget* list_;
    mutable std::array<qreal, 256> latin1Advances_{};  // 0: not yet measured
    int widestText_ = 0;
    std::vector<QListWidgetItem*> pending_;  // not yet in the list
    QElapsedTimer shown_;  // the last repaint during a run
    bool suspended_ = false;
    bool filling_ = false;
};

}  // namespace corvala::ui
