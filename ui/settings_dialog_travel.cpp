// The travel row of every interface page: how far the rotator turns, and unwinding it.
#include "ui/settings_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/error.h"
#include "platform/ui_services.h"
#include "rotator/hamlib_models.h"
#include "ui/settings_dialog_pages.h"
#include "ui/tform1.h"

namespace {

const Travel overlapTravel{0, 450};
const Travel halfTurnsTravel{-180, 180};

// The travel Hamlib's selected model turns over; none for the other interfaces and for a model
// that sets none of its own.
std::optional<Travel> hamlibModelTravel(int rotator)
{
    if (rotator != Hamlib)
        return std::nullopt;
    const std::optional<HamlibModel> model = hamlibModel(settings().HAMLIB_MODEL);
    return model ? model->travel : std::nullopt;
}

bool liesWithin(Travel travel, Travel range)
{
    return travel.minimum >= range.minimum && travel.maximum <= range.maximum;
}

QSpinBox *travelEndBox()
{
    auto *end = new QSpinBox;
    end->setRange(limits::lowestTravel, limits::highestTravel);
    // A typed end is weighed once it is whole (Enter or leaving the box), not at every digit.
    end->setKeyboardTracking(false);
    return end;
}

} // namespace

void TFormInit::createTravelRow(int rotator, QVBoxLayout *column)
{
    const QString suffix = interfaceKeyWord(rotator);
    TravelRow &row = travelRows[rotator];
    row.caption = new QLabel;
    row.list = new QComboBox;
    row.list->setObjectName(QStringLiteral("ComboBoxTravel_") + suffix);
    row.fromLabel = new QLabel;
    row.toLabel = new QLabel;
    row.from = travelEndBox();
    row.from->setObjectName(QStringLiteral("SpinEditTravelFrom_") + suffix);
    row.to = travelEndBox();
    row.to->setObjectName(QStringLiteral("SpinEditTravelTo_") + suffix);
    row.unwind = new QPushButton;
    row.unwind->setObjectName(QStringLiteral("ButtonUnwind_") + suffix);
    row.hint = new QLabel;
    row.hint->setObjectName(QStringLiteral("LabelTravelHint_") + suffix);
    row.hint->setWordWrap(true);
    row.hint->setStyleSheet(QStringLiteral("color: red;"));
    // Its line is kept, so that a refusal never makes the page grow.
    row.hint->setMinimumHeight(row.hint->fontMetrics().height());
    QSizePolicy keptLine = row.hint->sizePolicy();
    keptLine.setRetainSizeWhenHidden(true);
    row.hint->setSizePolicy(keptLine);
    row.hint->hide();

    auto *grid = new QGridLayout;
    grid->setSpacing(4);
    grid->addWidget(row.caption, 0, 0);
    grid->addWidget(row.list, 0, 1, 1, 5);
    grid->addWidget(row.fromLabel, 1, 0);
    grid->addWidget(row.from, 1, 1);
    grid->addWidget(row.toLabel, 1, 2);
    grid->addWidget(row.to, 1, 3);
    grid->addWidget(row.unwind, 1, 5);
    grid->setColumnStretch(4, 1);
    grid->addWidget(row.hint, 2, 0, 1, 6);
    column->addLayout(grid);
}

void TFormInit::connectTravelRows()
{
    for (int rotator = 0; rotator < InterfaceCount; ++rotator) {
        const TravelRow &row = travelRows[rotator];
        connect(row.list, &QComboBox::activated, this,
                [this, rotator](int index) { platform::guarded([&] { travelListClick(rotator, index); }); });
        for (QSpinBox *end : {row.from, row.to})
            connect(end, &QSpinBox::valueChanged, this,
                    [this, rotator] { platform::guarded([&] { customTravelChange(rotator); }); });
        connect(row.unwind, &QPushButton::clicked, this, [this] {
            platform::guarded([this] {
                form1->MenuUnwindClick();
                unwindRequest = form1->engine->lastRequest();
            });
        });
    }
}

void TFormInit::showTravel(int rotator, bool custom)
{
    const Travel stored = settings().travel(rotator);
    const TravelRow &row = travelRows[rotator];
    QList<std::pair<QString, Travel>> entries = {
        {travelTexts.oneTurn, Travel{}}, {travelTexts.overlap, overlapTravel}, {travelTexts.halfTurns, halfTurnsTravel}};
    const std::optional<Travel> model = hamlibModelTravel(rotator);
    if (model)
        entries.append({travelTexts.model.arg(model->minimum).arg(model->maximum), *model});

    const QSignalBlocker listQuiet(row.list), fromQuiet(row.from), toQuiet(row.to);
    row.list->clear();
    for (const auto &[text, travel] : entries)
        row.list->addItem(text, QPoint(travel.minimum, travel.maximum));
    // The custom entry has no ends of its own: they are typed.
    row.list->addItem(travelTexts.custom);
    const int entry = custom ? -1 : row.list->findData(QPoint(stored.minimum, stored.maximum));
    row.list->setCurrentIndex(entry >= 0 ? entry : row.list->count() - 1);
    row.from->setValue(stored.minimum);
    row.to->setValue(stored.maximum);
    row.from->setEnabled(entry < 0);
    row.to->setEnabled(entry < 0);
    // A stored travel the model cannot take is shown as it is, with the model's own.
    const bool beyondModel = model && !liesWithin(stored, *model);
    if (beyondModel)
        row.hint->setText(travelTexts.modelRange.arg(model->minimum).arg(model->maximum));
    row.hint->setVisible(beyondModel);
    enableUnwindButtons();
}

void TFormInit::travelListClick(int rotator, int index)
{
    const TravelRow &row = travelRows[rotator];
    const QVariant ends = row.list->itemData(index);
    if (!ends.isValid()) {
        // Its ends are typed, each weighed as it comes.
        row.from->setEnabled(true);
        row.to->setEnabled(true);
        return;
    }
    chooseTravel(rotator, {ends.toPoint().x(), ends.toPoint().y()}, false);
}

void TFormInit::customTravelChange(int rotator)
{
    const TravelRow &row = travelRows[rotator];
    chooseTravel(rotator, {row.from->value(), row.to->value()}, true);
}

void TFormInit::chooseTravel(int rotator, Travel travel, bool custom)
{
    Settings &s = settings();
    const QString refusal = travelRefusal(rotator, travel);
    if (refusal.isEmpty()) {
        s.AZMIN[rotator] = travel.minimum;
        s.AZMAX[rotator] = travel.maximum;
        showTravel(rotator, custom);
        form1->titre();
        return;
    }
    platform::ui().beep(platform::Beep::Default);
    showTravel(rotator, custom);
    const TravelRow &row = travelRows[rotator];
    row.hint->setText(refusal);
    row.hint->show();
}

QString TFormInit::travelRefusal(int rotator, Travel travel) const
{
    const InterfacePage &page = interfacePages()[rotator];
    switch (checkTravel(rotator, travel)) {
    case TravelCheck::LessThanATurn:
        return travelTexts.lessThanATurn;
    case TravelCheck::BeyondLimits:
        return travelTexts.beyondLimits;
    case TravelCheck::BeyondCommand:
        if (rotator == GS232)
            return travelTexts.gs232Command;
        // Stopping at south is how a one-turn interface points from -180 to 180.
        return travelTexts.oneTurnCommand.arg(QString::fromUtf8(page.caption))
            + (page.stopSetting && travel == halfTurnsTravel ? travelTexts.southStop : QString());
    case TravelCheck::Fits:
        break;
    }
    const std::optional<Travel> model = hamlibModelTravel(rotator);
    if (model && !liesWithin(travel, *model))
        return travelTexts.modelRange.arg(model->minimum).arg(model->maximum);
    return {};
}

void TFormInit::enableUnwindButtons()
{
    const Settings &s = settings();
    for (int rotator = 0; rotator < InterfaceCount; ++rotator)
        travelRows[rotator].unwind->setEnabled(s.ANT == rotator && s.travel(rotator).overlaps());
}
