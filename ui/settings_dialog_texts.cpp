// The settings dialog's texts that follow the language.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>

#include "app/settings.h"
#include "ui/settings_dialog_pages.h"

namespace {

struct Text {
    const char *english;
    const char *french;
    QString in(languages::Language language) const
    {
        return QString::fromUtf8(language == languages::Language::French ? french : english);
    }
};

const Text tkbHost = {"Check to quit in Host mode", "Cocher pour quitter en mode Host"};
const Text kctMove = {"Enter the path of the directory of Movenow.com",
                      "Entrer le chemin du répertoire de Movenow.com"};
const Text kctMissing = {"Cannot find Movenow.com !", "Movenow.com pas trouvé !"};
const Text chooseComPort = {"Please choose a COM port for this interface",
                            "SVP, choisissez un port COM pour cette interface"};
const Text kctStop = {"Stop", "Butée"};
const Text parking = {"Use for parking", "Position parking"};
const Text minimumStep = {"Min Step°", "Pas mini°"};
const Text arswin = {"CAUTION : ARSWIN must be running", "CAUTION : ARSWIN doit être lancé"};
const Text arsvcom = {"If using ARSVCOM, choose GS232, the virtual COM port created by ARSVCOM and check the box "
                      "\"+el=0\"",
                      "Si utilisation ARSVCOM, choisir GS232, le port COM virtuel créé par ARSVCOM et cocher la "
                      "case \"+el=0\""};
const Text jingle = {"Check to play an audio signal when a command is sent to rotator",
                     "Cocher pour jouer un son lorsque le rotor est commandé"};
const Text rotctldAll = {"allow other computers", "autoriser d'autres ordinateurs"};
const Text myLocator = {"My locator :", "Mon locator :"};
const Text locatorHint = {"4, 6 or 8 characters: JN18du", "4, 6 ou 8 caractères : JN18du"};
const Text rotctldPort = {"The rotctld port must be a whole number from 1 to 65535",
                          "Le port rotctld doit être un nombre entier de 1 à 65535"};
const Text pstPort = {"The PST UDP port must be a whole number from 1 to 65535",
                      "Le port PST UDP doit être un nombre entier de 1 à 65535"};
const Text n1mmHeading = {"Heading to N1MM", "Cap vers N1MM"};
const Text headingPort = {"Heading port :", "Port du cap :"};
const Text rotorName = {"Rotor name :", "Nom du rotor :"};
const Text headingHost = {"N1MM address :", "Adresse N1MM :"};
const Text loggerOwn = {"the logger's", "celui du logger"};
const Text headingPortRefused = {"The N1MM heading port must be a whole number from 1 to 65535",
                                 "Le port du cap N1MM doit être un nombre entier de 1 à 65535"};
const Text headingHostRefused = {"The N1MM address must be an IP address, or empty for the logger's",
                                 "L'adresse N1MM doit être une adresse IP, ou vide pour celle du logger"};
const Text hamlibModelLabel = {"Model", "Modèle"};
const Text hamlibSearch = {"Type to search: maker, model, number", "Taper pour chercher : marque, modèle, numéro"};
const Text hamlibDevice = {"Device", "Accès"};
const Text hamlibDeviceHint = {"/dev/... or host:port", "/dev/... ou hôte:port"};
const Text hamlibNoModel = {"No model matches", "Aucun modèle ne correspond"};
const Text hamlibRate = {"%1 bauds: the model takes %2", "%1 bauds : le modèle prend %2"};
const Text travelCaption = {"Travel", "Course"};
const Text travelFrom = {"From", "De"};
const Text travelTo = {"To", "À"};
const Text unwindButton = {"Unwind", "Dérouler"};
const Text oneTurnEntry = {"0 to 360° (one turn)", "0 à 360° (un tour)"};
const Text overlapEntry = {"0 to 450° (overlap)", "0 à 450° (chevauchement)"};
const Text halfTurnsEntry = {"-180 to 180°", "-180 à 180°"};
const Text modelEntry = {"Model: %1 to %2°", "Modèle : %1 à %2°"};
const Text customEntry = {"Custom", "Autre"};
const Text lessThanATurnHint = {"The travel must cover a whole turn (360°).", "La course doit couvrir un tour entier (360°)."};
const Text beyondLimitsHint = {"The travel lies within -360° and 720°.", "La course est comprise entre -360° et 720°."};
const Text gs232CommandHint = {"GS-232's W command takes 0 to 450°.", "La commande W du GS-232 prend 0 à 450°."};
const Text oneTurnCommandHint = {"%1's command takes one turn: 0 to 359°.", "%1 : la commande ne prend qu'un tour, 0 à 359°."};
const Text southStopHint = {" For a stop at south, tick S.", " Pour une butée au sud, cochez S."};
const Text modelRangeHint = {"The model turns from %1° to %2°.", "Le modèle tourne de %1° à %2°."};

} // namespace

void TFormInit::setLanguageTexts(languages::Language language)
{
    Settings &s = settings();
    CheckBoxTKBHost->setText(tkbHost.in(language));
    LabelKCTMove->setText(kctMove.in(language));
    s.MsgKctMissing = kctMissing.in(language);
    s.MsgChooseComPort = chooseComPort.in(language);
    RadioGroupKCTbutee->setTitle(kctStop.in(language));
    for (const InterfacePage &page : interfacePages()) {
        // The EA4TX label reads "use for parking" in both languages.
        if (page.rotator != EA4TX)
            page.parkLabel.of(*this)->setText(parking.in(language));
        page.stepLabel.of(*this)->setText(minimumStep.in(language));
    }
    StaticTextEA4TX->setText(arswin.in(language));
    LabelEA4TX->setText(arsvcom.in(language));
    CheckBoxEnvoiCommande->setText(jingle.in(language));
    CheckBoxRotctldAll->setText(rotctldAll.in(language));
    rotctldPortMessage = rotctldPort.in(language);
    CheckBoxPstAll->setText(rotctldAll.in(language));
    pstPortMessage = pstPort.in(language);
    CheckBoxN1mmHeading->setText(n1mmHeading.in(language));
    LabelN1mmHeadingPort->setText(headingPort.in(language));
    LabelN1mmRotor->setText(rotorName.in(language));
    LabelN1mmHeadingHost->setText(headingHost.in(language));
    EditN1mmRotor->setPlaceholderText(loggerOwn.in(language));
    EditN1mmHeadingHost->setPlaceholderText(loggerOwn.in(language));
    headingPortMessage = headingPortRefused.in(language);
    headingHostMessage = headingHostRefused.in(language);
    LabelMyLocator->setText(myLocator.in(language));
    LabelLocatorHint->setText(locatorHint.in(language));
    LabelHamlibModel->setText(hamlibModelLabel.in(language));
    ComboBoxHamlibModel->lineEdit()->setPlaceholderText(hamlibSearch.in(language));
    LabelHamlibDevice->setText(hamlibDevice.in(language));
    EditHamlibDevice->setPlaceholderText(hamlibDeviceHint.in(language));
    hamlibNoModelText = hamlibNoModel.in(language);
    hamlibRateText = hamlibRate.in(language);
    for (const TravelRow &row : travelRows) {
        row.caption->setText(travelCaption.in(language));
        row.fromLabel->setText(travelFrom.in(language));
        row.toLabel->setText(travelTo.in(language));
        row.unwind->setText(unwindButton.in(language));
    }
    travelTexts = {oneTurnEntry.in(language), overlapEntry.in(language), halfTurnsEntry.in(language),
                   modelEntry.in(language), customEntry.in(language), lessThanATurnHint.in(language),
                   beyondLimitsHint.in(language), gs232CommandHint.in(language), oneTurnCommandHint.in(language),
                   southStopHint.in(language), modelRangeHint.in(language)};
}
