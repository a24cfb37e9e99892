#include "ui/ErrorList.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>
#include <cmath>

#include "engine/model/failures.h"
#include "ui/ContextMenuKey.h"
#include "ui/LineDecoding.h"

namespace corvala::ui {

namespace {

// An item whose tooltip is its text, without a second copy of it.
class ErrorItem final : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;
    QVariant data(int role) const override {
        return QListWidgetItem::data(role == Qt::ToolTipRole ? Qt::DisplayRole : role);
    }
};

// With items of one size the view takes that size from its last item (the
// closing item, short): every item is given the width of the widest one,
// so that the list scrolls to the end of each. The tooltip shows only for
// an item the edge of the list cuts off.
class WidestItemDelegate final : public QStyledItemDelegate {
public:
    WidestItemDelegate(const ErrorList& list, QObject* parent) : QStyledItemDelegate(parent), list_(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const int ownText = list_.TextWidth(index.data(Qt::DisplayRole).toString());
        size.setWidth(std::max(size.width(), size.width() - ownText + list_.WidestText()));
        return size;
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() == QEvent::ToolTip && index.isValid()) {
            const int ownWidth = QStyledItemDelegate::sizeHint(option, index).width();
            if (option.rect.left() >= 0 && option.rect.left() + ownWidth <= view->viewport()->width()) {
                QToolTip::hideText();
                return true;
            }
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }

private:
    const ErrorList& list_;
};

class ListWidget final : public QListWidget {
public:
    ListWidget(ErrorList& owner, QWidget* parent) : QListWidget(parent), owner_(owner) {}

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            // At the current item, near its start, in the viewport as a
            // mouse's context menu is.
            QPoint at(0, 0);
            if (QListWidgetItem* item = currentItem()) {
                scrollToItem(item);
                const QRect rect = visualItemRect(item);
                at = QPoint(rect.left() + rect.height(), rect.center().y());
            }
            const QRect inside = viewport()->rect();
            at = QPoint(std::clamp(at.x(), inside.left(), inside.right()),
                        std::clamp(at.y(), inside.top(), inside.bottom()));
            QContextMenuEvent moved(QContextMenuEvent::Keyboard, at, viewport()->mapToGlobal(at),
                                    static_cast<QContextMenuEvent*>(event)->modifiers());
            const bool handled = QListWidget::event(&moved);
            event->setAccepted(moved.isAccepted());
            return handled;
        }
        if (event->type() == QEvent::FontChange) owner_.Remeasure();
        return QListWidget::event(event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (!OpenContextMenuByKey(*this, *event)) QListWidget::keyPressEvent(event);
    }

private:
    ErrorList& owner_;
};

}  // namespace

ErrorList::ErrorList(QWidget* parent) : list_(new ListWidget(*this, parent)) {
    list_->setObjectName(QStringLiteral("ListBox1"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setUniformItemSizes(true);
    list_->setItemDelegate(new WidestItemDelegate(*this, list_));
}

ErrorList::~ErrorList() { qDeleteAll(pending_); }

void ErrorList::Clear() {
    qDeleteAll(pending_);
    pending_.clear();
    filling_ = true;
    list_->clear();
    filling_ = false;
    widestText_ = 0;
}

int ErrorList::TextWidth(const QString& text) const {
    // Fractional advances: rounded one by one, a long text would come out
    // many pixels short.
    const QFontMetricsF metrics(list_->font());
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    qreal width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = units[i];
        if (unit < latin1Advances_.size()) {
            qreal& advance = latin1Advances_[unit];
            // 0 marks "not measured"; a character of no width costs a
            // measurement each time, which is rare.
            if (advance == 0) advance = metrics.horizontalAdvance(QChar(unit));
            width += advance;
        } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && QChar::isLowSurrogate(units[i + 1])) {
            width += metrics.horizontalAdvance(QStringView(text).sliced(i, 2).toString());
            ++i;
        } else {
            width += metrics.horizontalAdvance(QChar(unit));
        }
    }
    return static_cast<int>(std::ceil(width));
}

void ErrorList::Remeasure() {
    latin1Advances_.fill(0);
    widestText_ = 0;
    for (int i = 0; i < Count(); ++i) widestText_ = std::max(widestText_, TextWidth(ItemAt(i)->text()));
}

void ErrorList::Add(std::string_view message, const QIcon& icon) {
    auto* item = new ErrorItem(icon, DecodeLine(message));
    widestText_ = std::max(widestText_, TextWidth(item->text()));
    item->setData(PositionRole, 0);
    item->setData(BytesRole, QByteArray(message.data(), static_cast<qsizetype>(message.size())));
    pending_.push_back(item);
    if (!suspended_) Flush();
}

int ErrorList::Count() const noexcept { return list_->count() + static_cast<int>(pending_.size()); }

QListWidgetItem* ErrorList::ItemAt(int index) const {
    if (index < 0) return nullptr;
    if (index < list_->count()) return list_->item(index);
    const auto waiting = static_cast<std::size_t>(index - list_->count());
    return waiting < pending_.size() ? pending_[waiting] : nullptr;
}

void ErrorList::AttachToLast(int position) { Attach(Count() - 1, position); }

void ErrorList::Attach(int index, int position) {
    if (QListWidgetItem* item = ItemAt(index)) item->setData(PositionRole, position);
}

int ErrorList::Position(int index) const {
    const QListWidgetItem* item = ItemAt(index);
    return item ? item->data(PositionRole).toInt() : 0;
}

QByteArray ErrorList::Bytes(int index) const {
    const QListWidgetItem* item = ItemAt(index);
    return item ? item->data(BytesRole).toByteArray() : QByteArray();
}

int ErrorList::Selected() const {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->row(selected.first());
}

void ErrorList::SetPaintingSuspended(bool suspended) {
    if (suspended == suspended_) return;
    suspended_ = suspended;
    if (suspended) {
        shown_.start();
        return;
    }
    Flush();
}

void ErrorList::Flush() {
    if (pending_.empty()) return;
    const int expected = Count();
    filling_ = true;
    for (QListWidgetItem* item : pending_) list_->addItem(item);
    filling_ = false;
    pending_.clear();
    if (list_->count() != expected) throw Failure("Unable to insert a line");
}

bool ErrorList::RepaintDue() {
    if (!suspended_ || !shown_.isValid() || shown_.elapsed() < RepaintMilliseconds) return false;
    Flush();
    return true;
}

void ErrorList::EndRepaint() { shown_.start(); }

}  // namespace corvala::ui
