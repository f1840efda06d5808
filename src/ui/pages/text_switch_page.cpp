#include "text_switch_page.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "ctw_doc.h"
#include "project_view.h"

QComboBox* NewParagraphSizeList(QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->addItem(QObject::tr("Default"));
    for (int size = 1; size <= 6; ++size) list->addItem(QString::number(size));
    list->setToolTip(QObject::tr("Paragraph size: 1 is the biggest, 6 the smallest"));
    return list;
}

TextSwitchPage::TextSwitchPage(CProjectView* view, const QString& switchLabel, const Fields& fields,
                               QWidget* parent)
    : ProjectPage(view, parent), m_fields(fields) {
    auto* layout = new QGridLayout(this);
    m_switch = new QCheckBox(switchLabel, this);
    m_size = NewParagraphSizeList(this);
    auto* note = new QLabel(tr("1- biggest, 6-smallest. &Class (html only) :"), this);
    m_class = new QLineEdit(this);
    m_class->setToolTip(tr("CSS class of the paragraph (HTML only)"));
    note->setBuddy(m_class);
    m_text = new QPlainTextEdit(this);
    m_text->setTabChangesFocus(true);
    m_text->installEventFilter(this);
    layout->addWidget(m_switch, 0, 0);
    layout->addWidget(m_size, 0, 1);
    layout->addWidget(note, 0, 2);
    layout->addWidget(m_class, 0, 3);
    layout->addWidget(m_text, 1, 0, 1, 4);
    layout->setColumnStretch(3, 1);
    layout->setRowStretch(1, 1);
    setTabOrder(m_switch, m_size);
    setTabOrder(m_size, m_class);
    setTabOrder(m_class, m_text);

    // A click on the switch and another size are stored at once.
    connect(m_switch, &QCheckBox::clicked, this, [this] { Store(); });
    connect(m_size, &QComboBox::activated, this, [this] { Store(); });
}

void TextSwitchPage::LoadFromProject(CtwDoc& project) {
    m_loading = true;
    m_size->setCurrentIndex(std::clamp(project.*m_fields.size, 0, 6));
    const std::optional<std::wstring> text = (project.*m_fields.text)();
    // Switched off: the field keeps what it showed, so ticking the switch brings that text back.
    if (text) m_text->setPlainText(QString::fromStdWString(*text));
    m_class->setText(QString::fromStdWString(project.*m_fields.cssClass));
    m_switch->setChecked(text.has_value());
    m_loading = false;
}

void TextSwitchPage::SaveToProject(CtwDoc& project) {
    if (m_switch->isChecked()) {
        (project.*m_fields.setText)(m_text->toPlainText().toStdWString());
        (project.*m_fields.setClass)(m_class->text().toStdWString());
        (project.*m_fields.setSize)(m_size->currentIndex());
    } else {
        (project.*m_fields.setText)(std::nullopt);
    }
}

bool TextSwitchPage::eventFilter(QObject* watched, QEvent* event) {
    // Leaving the text field stores its text, which switches the part on until the next full store.
    if (watched == m_text && event->type() == QEvent::FocusOut && !m_loading) {
        if (CtwDoc* project = Project(); project && View()->CanStore()) {
            (project->*m_fields.setText)(m_text->toPlainText().toStdWString());
            (project->*m_fields.setClass)(m_class->text().toStdWString());
        }
    }
    return ProjectPage::eventFilter(watched, event);
}
