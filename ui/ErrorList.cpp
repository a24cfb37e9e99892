#include "ui/ErrorList.h"

#include <QListWidget>

#include "engine/failures.h"
#include "ui/LineDecoding.h"

namespace corvala::ui {

ErrorList::ErrorList(QWidget* parent) : list_(new QListWidget(parent)) {
    list_->setObjectName(QStringLiteral("ListBox1"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setUniformItemSizes(true);
}

ErrorList::~ErrorList() { qDeleteAll(pending_); }

void ErrorList::Clear() {
    qDeleteAll(pending_);
    pending_.clear();
    filling_ = true;
    list_->clear();
    filling_ = false;
}

void ErrorList::Add(std::string_view message, const QIcon& icon) {
    auto* item = new QListWidgetItem(icon, DecodeLine(message));
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
        list_->setUpdatesEnabled(false);
        shown_.start();
        return;
    }
    Flush();
    list_->setUpdatesEnabled(true);
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
    list_->setUpdatesEnabled(true);
    return true;
}

void ErrorList::EndRepaint() {
    if (suspended_) list_->setUpdatesEnabled(false);
    shown_.start();
}

}  // namespace corvala::ui
