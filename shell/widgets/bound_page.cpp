// The bound page and its data exchange.
#include "shell/widgets/bound_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include "shell/widgets/message_box.h"

namespace tellweir {

QString IntegerRangeMessage(int minimum, int maximum) {
    return CBoundPage::tr("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum);
}

CBoundPage::CBoundPage(QString name, CPropertySet* set, QWidget* parent)
    : QWidget(parent), name_(std::move(name)), set_(set) {}

void CBoundPage::BindCheck(QCheckBox* box, PropertyId id) {
    Binding binding{id, false, {box}, {}, {}};
    binding.load = [box, id](const CPropertySet& set) {
        const int value = set.Int(id);
        if (value == 2) box->setTristate(true);
        box->setCheckState(value == 1   ? Qt::Checked
                           : value == 2 ? Qt::PartiallyChecked
                                        : Qt::Unchecked);
    };
    binding.store = [box, id](CPropertySet& set, bool) {
        const Qt::CheckState state = box->checkState();
        set.SetInt(id, state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0);
        return true;
    };
    bindings_.push_back(std::move(binding));
    connect(box, &QCheckBox::stateChanged, this, &CBoundPage::ControlChanged);
}

void CBoundPage::BindComboIndex(QComboBox* combo, PropertyId id) {
    Binding binding{id, false, {combo}, {}, {}};
    binding.load = [combo, id](const CPropertySet& set) { combo->setCurrentIndex(set.Int(id)); };
    binding.store = [combo, id](CPropertySet& set, bool) {
        set.SetInt(id, combo->currentIndex());
        return true;
    };
    bindings_.push_back(std::move(binding));
    connect(combo, &QComboBox::currentIndexChanged, this, &CBoundPage::ControlChanged);
}

void CBoundPage::BindText(QLineEdit* edit, PropertyId id, bool trim) {
    Binding binding{id, true, {edit}, {}, {}};
    binding.load = [edit, id](const CPropertySet& set) {
        edit->setText(QString::fromStdString(set.String(id)));
    };
    binding.store = [edit, id, trim](CPropertySet& set, bool) {
        set.SetString(id, (trim ? edit->text().trimmed() : edit->text()).toStdString());
        return true;
    };
    bindings_.push_back(std::move(binding));
    connect(edit, &QLineEdit::textChanged, this, &CBoundPage::ControlChanged);
}

void CBoundPage::BindInt(QLineEdit* edit, PropertyId id, int minimum, int maximum) {
    Binding binding{id, false, {edit}, {}, {}};
    binding.load = [edit, id](const CPropertySet& set) {
        edit->setText(QString::number(set.Int(id)));
    };
    binding.store = [this, edit, id, minimum, maximum](CPropertySet& set, bool quiet) {
        return StoreInt(set, id, edit->text(), edit, minimum, maximum, quiet);
    };
    bindings_.push_back(std::move(binding));
    connect(edit, &QLineEdit::textChanged, this, &CBoundPage::ControlChanged);
}

void CBoundPage::BindInt(QSpinBox* spin, PropertyId id, int minimum, int maximum) {
    Binding binding{id, false, {spin}, {}, {}};
    binding.load = [spin, id](const CPropertySet& set) { spin->setValue(set.Int(id)); };
    // The text rather than value(): a spin box keeps its last valid value while the user types.
    binding.store = [this, spin, id, minimum, maximum](CPropertySet& set, bool quiet) {
        return StoreInt(set, id, spin->cleanText(), spin, minimum, maximum, quiet);
    };
    bindings_.push_back(std::move(binding));
    connect(spin, &QSpinBox::textChanged, this, &CBoundPage::ControlChanged);
}

void CBoundPage::BindRadio(const QList<QAbstractButton*>& group, PropertyId id) {
    Binding binding{id, false, {}, {}, {}};
    for (QAbstractButton* button : group)
        binding.controls.append(button);
    binding.load = [group, id](const CPropertySet& set) {
        const int index = set.Int(id);
        for (int i = 0; i < group.size(); ++i)
            group[i]->setChecked(i == index);
    };
    binding.store = [group, id](CPropertySet& set, bool) {
        for (int i = 0; i < group.size(); ++i)
            if (group[i]->isChecked()) set.SetInt(id, i);
        return true;
    };
    bindings_.push_back(std::move(binding));
    // Only the button turned on reports, so one click is one change.
    for (QAbstractButton* button : group)
        connect(button, &QAbstractButton::toggled, this, [this](bool on) {
            if (on) ControlChanged();
        });
}

bool CBoundPage::StoreInt(CPropertySet& set, PropertyId id, const QString& text, QWidget* control,
                          int minimum, int maximum, bool quiet) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    const bool checked = minimum < maximum;
    if (ok && (!checked || (value >= minimum && value <= maximum))) {
        set.SetInt(id, value);
        return true;
    }
    if (!quiet) {
        ShowMessage(
            this, checked ? IntegerRangeMessage(minimum, maximum) : tr("Please enter an integer."));
        control->setFocus();
    }
    return false;
}

void CBoundPage::ControlChanged() {
    Exchange(true, true);
    Refresh();
    emit changed();
}

bool CBoundPage::Exchange(bool fromControls, bool quiet) {
    if (!set_) return true;
    if (!fromControls) {
        // Filling a control must not read as the user changing it: the set already holds it.
        for (const Binding& binding : bindings_) {
            std::vector<QSignalBlocker> silenced;
            silenced.reserve(static_cast<std::size_t>(binding.controls.size()));
            for (QObject* control : binding.controls)
                silenced.emplace_back(control);
            binding.load(*set_);
        }
        return true;
    }
    for (const Binding& binding : bindings_)
        if (!binding.store(*set_, quiet)) return false;
    return true;
}

void CBoundPage::CopyBoundValues() const {
    if (!set_ || !copyTarget_) return;
    for (const Binding& binding : bindings_) {
        if (binding.isText)
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
