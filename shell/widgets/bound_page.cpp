// The bound page and its data exchange.
#include "shell/widgets/bound_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include "shell/widgets/message_box.h"

namespace tellweir {

QString IntegerRangeMessage(int minimum, int maximum) {
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum);
}

CBoundPage::CBoundPage(QString name, CPropertySet* set, QWidget* parent)
    : QWidget(parent), name_(std::move(name)), set_(set) {}

void CBoundPage::Add(QWidget* control, PropertyId id, BindKind kind, bool trim, int minimum,
                     int maximum) {
    PageBinding binding;
    binding.control = control;
    binding.id = id;
    binding.kind = kind;
    binding.trim = trim;
    binding.minimum = minimum;
    binding.maximum = maximum;
    bindings_.push_back(binding);
}

void CBoundPage::BindCheck(QCheckBox* box, PropertyId id) {
    Add(box, id, BIND_CHECK);
    connect(box, &QCheckBox::stateChanged, this, &CBoundPage::ControlChanged);
}

void CBoundPage::BindComboIndex(QComboBox* combo, PropertyId id) {
    Add(combo, id, BIND_COMBO_INDEX);
    connect(combo, &QComboBox::currentIndexChanged, this, &CBoundPage::ControlChanged);
}

void CBoundPage::BindText(QLineEdit* edit, PropertyId id, bool trim) {
    Add(edit, id, BIND_TEXT, trim);
    connect(edit, &QLineEdit::textChanged, this, &CBoundPage::ControlChanged);
}

void CBoundPage::BindInt(QLineEdit* edit, PropertyId id, int minimum, int maximum) {
    Add(edit, id, BIND_INT, false, minimum, maximum);
    connect(edit, &QLineEdit::textChanged, this, &CBoundPage::ControlChanged);
}

void CBoundPage::BindInt(QSpinBox* spin, PropertyId id, int minimum, int maximum) {
    Add(spin, id, BIND_INT, false, minimum, maximum);
    connect(spin, &QSpinBox::textChanged, this, &CBoundPage::ControlChanged);
}

void CBoundPage::BindRadio(const QList<QAbstractButton*>& group, PropertyId id) {
    Add(group.value(0), id, BIND_RADIO);
    bindings_.back().group = group;
    for (QAbstractButton* button : group)
        connect(button, &QAbstractButton::toggled, this, [this](bool on) {
            if (on) ControlChanged();
        });
}

void CBoundPage::ControlChanged() {
    // Filling the controls fires their change signals; the set already holds those values.
    if (loading_) return;
    Exchange(true, true);
    Refresh();
    emit changed();
}

bool CBoundPage::Exchange(bool fromControls, bool quiet) {
    if (!set_) return true;
    if (!fromControls) {
        loading_ = true;
        for (const PageBinding& binding : bindings_)
            ToControl(binding);
        loading_ = false;
        return true;
    }
    for (const PageBinding& binding : bindings_)
        if (!ToSet(binding, quiet)) return false;
    return true;
}

void CBoundPage::ToControl(const PageBinding& binding) {
    switch (binding.kind) {
        case BIND_CHECK: {
            int value = set_->Int(binding.id);
            if (value < 0 || value > 2) value = 0;
            auto* box = static_cast<QCheckBox*>(binding.control);
            if (value == 2) box->setTristate(true);
            box->setCheckState(value == 1   ? Qt::Checked
                               : value == 2 ? Qt::PartiallyChecked
                                            : Qt::Unchecked);
            break;
        }
        case BIND_COMBO_INDEX:
            static_cast<QComboBox*>(binding.control)->setCurrentIndex(set_->Int(binding.id));
            break;
        case BIND_TEXT:
            static_cast<QLineEdit*>(binding.control)
                ->setText(QString::fromStdString(set_->String(binding.id)));
            break;
        case BIND_INT: {
            const int value = set_->Int(binding.id);
            if (auto* spin = qobject_cast<QSpinBox*>(binding.control))
                spin->setValue(value);
            else
                static_cast<QLineEdit*>(binding.control)->setText(QString::number(value));
            break;
        }
        case BIND_RADIO: {
            const int index = set_->Int(binding.id);
            for (int i = 0; i < binding.group.size(); ++i)
                binding.group[i]->setChecked(i == index);
            break;
        }
    }
}

bool CBoundPage::ToSet(const PageBinding& binding, bool quiet) {
    switch (binding.kind) {
        case BIND_CHECK:
            switch (static_cast<QCheckBox*>(binding.control)->checkState()) {
                case Qt::Checked:
                    set_->SetInt(binding.id, 1);
                    break;
                case Qt::PartiallyChecked:
                    set_->SetInt(binding.id, 2);
                    break;
                default:
                    set_->SetInt(binding.id, 0);
            }
            return true;
        case BIND_COMBO_INDEX:
            set_->SetInt(binding.id, static_cast<QComboBox*>(binding.control)->currentIndex());
            return true;
        case BIND_TEXT: {
            QString text = static_cast<QLineEdit*>(binding.control)->text();
            if (binding.trim) text = text.trimmed();
            set_->SetString(binding.id, text.toStdString());
            return true;
        }
        case BIND_INT: {
            auto* spin = qobject_cast<QSpinBox*>(binding.control);
            const QString text =
                spin ? spin->cleanText() : static_cast<QLineEdit*>(binding.control)->text();
            bool ok = false;
            const int value = text.trimmed().toInt(&ok);
            const bool checked = binding.minimum < binding.maximum;
            if (ok && (!checked || (value >= binding.minimum && value <= binding.maximum))) {
                set_->SetInt(binding.id, value);
                return true;
            }
            if (!quiet) {
                ShowMessage(this, checked ? IntegerRangeMessage(binding.minimum, binding.maximum)
                                          : QStringLiteral("Please enter an integer."));
                binding.control->setFocus();
            }
            return false;
        }
        case BIND_RADIO:
            for (int i = 0; i < binding.group.size(); ++i)
                if (binding.group[i]->isChecked()) set_->SetInt(binding.id, i);
            return true;
    }
    return true;
}

void CBoundPage::CopyBoundValues() const {
    if (!set_ || !copyTarget_) return;
    for (const PageBinding& binding : bindings_) {
        if (binding.kind == BIND_TEXT)
            copyTarget_->SetString(binding.id, set_->String(binding.id));
        else
            copyTarget_->SetInt(binding.id, set_->Int(binding.id));
    }
}

void CBoundPage::Enter() {
    Exchange(false);
    Refresh();
}

bool CBoundPage::Leave() {
    return Exchange(true);
}

}  // namespace tellweir
