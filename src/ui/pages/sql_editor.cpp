#include "sql_editor.h"

#include <Qsci/qscilexersql.h>

#include <QContextMenuEvent>
#include <QFile>
#include <QFontDatabase>
#include <QMenu>
#include <QSaveFile>

#include "find_replace_dialog.h"
#include "page_rules.h"

namespace {

// The SQL lexer with the program's one keyword list (in both letter cases, as the lexer compares exactly).
class KeywordLexer : public QsciLexerSQL {
  public:
    explicit KeywordLexer(QObject* parent) : QsciLexerSQL(parent) {
        const QString keywords = QString::fromLatin1(pages::SqlKeywords().data(),
                                                     static_cast<qsizetype>(pages::SqlKeywords().size()));
        m_keywords = (keywords.toLower() + QLatin1Char(' ') + keywords).toLatin1();
    }
    const char* keywords(int set) const override { return set == 1 ? m_keywords.constData() : nullptr; }

  private:
    QByteArray m_keywords;
};

}  // namespace

bool ReadSqlFile(const QString& path, QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    text = QString::fromUtf8(file.readAll());
    return file.error() == QFileDevice::NoError;
}

SqlEditor::SqlEditor(QWidget* parent) : QsciScintilla(parent) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({QStringLiteral("Courier New"), font.family()});
    m_lexer = new KeywordLexer(this);
    m_lexer->setDefaultFont(font);
    for (int style = 0; style <= 127; ++style) m_lexer->setFont(font, style);
    setLexer(m_lexer);
    setUtf8(true);
    setMarginType(0, QsciScintilla::NumberMargin);
    setMarginLineNumbers(0, true);
    setMarginWidth(0, QStringLiteral("00000"));
    setBraceMatching(QsciScintilla::SloppyBraceMatch);
    setWhitespaceVisibility(QsciScintilla::WsInvisible);
    setAutoIndent(true);
    SetCompletionNames({});
    // Completion is the editor's own: a list of keywords and names once a word has three characters.
    setAutoCompletionSource(QsciScintilla::AcsNone);
    connect(this, &QsciScintilla::SCN_CHARADDED, this, [this](int) { OfferCompletion(); });
    connect(this, &QsciScintilla::userListActivated, this, [this](int id, const QString& chosen) {
        if (id == kCompletionList) Complete(chosen);
    });
}

QString SqlEditor::WordBeforeCaret() const {
    int line = 0, index = 0;
    getCursorPosition(&line, &index);
    const QString head = text(line).left(index);
    qsizetype start = head.size();
    while (start > 0 && (head[start - 1].isLetterOrNumber() || head[start - 1] == QLatin1Char('_'))) --start;
    return head.mid(start);
}

QStringList SqlEditor::CompletionsOf(const QString& prefix) const {
    QStringList matches;
    for (const QString& word : m_words) {
        if (word.size() > prefix.size() && word.startsWith(prefix, Qt::CaseInsensitive)) matches << word;
    }
    return matches;
}

void SqlEditor::OfferCompletion() {
    const QString prefix = WordBeforeCaret();
    if (prefix.size() < 3) return;
    const QStringList matches = CompletionsOf(prefix);
    if (!matches.isEmpty()) showUserList(kCompletionList, matches);
}

void SqlEditor::Complete(const QString& chosen) {
    const int prefixLength = static_cast<int>(WordBeforeCaret().size());
    int line = 0, index = 0;
    getCursorPosition(&line, &index);
    setSelection(line, index - prefixLength, line, index);
    replaceSelectedText(chosen);
}

void SqlEditor::LoadText(const QString& text) {
    setText(text);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
}

bool SqlEditor::LoadFile(const QString& path) {
    QString content;
    if (!ReadSqlFile(path, content)) return false;
    // Through the selection, so the load is one step that undo takes back.
    selectAll();
    replaceSelectedText(content);
    return true;
}

bool SqlEditor::SaveFile(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(text().toUtf8());
    return file.commit();
}

void SqlEditor::SetCompletionNames(const QStringList& names) {
    m_names = names;
    const QString keywords = QString::fromLatin1(pages::SqlKeywords().data(),
                                                 static_cast<qsizetype>(pages::SqlKeywords().size()));
    m_words = keywords.split(QLatin1Char(' '), Qt::SkipEmptyParts) + names;
    m_words.sort(Qt::CaseInsensitive);
    m_words.removeDuplicates();
}

void SqlEditor::SearchAndReplace() {
    auto* dialog = findChild<FindReplaceDialog*>();
    if (dialog == nullptr) dialog = new FindReplaceDialog(this);
    if (hasSelectedText() && !selectedText().contains(QLatin1Char('\n'))) dialog->SetFindText(selectedText());
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void SqlEditor::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* undoAction = menu.addAction(tr("Undo\tCtrl+Z"), this, &QsciScintilla::undo);
    undoAction->setEnabled(isUndoAvailable());
    QAction* redoAction = menu.addAction(tr("Redo\tCtrl+Y"), this, &QsciScintilla::redo);
    redoAction->setEnabled(isRedoAvailable());
    menu.addSeparator();
    QAction* cutAction = menu.addAction(tr("Cut\tCtrl+X"), this, &QsciScintilla::cut);
    QAction* copyAction = menu.addAction(tr("Copy\tCtrl+C"), this, &QsciScintilla::copy);
    cutAction->setEnabled(hasSelectedText() && !isReadOnly());
    copyAction->setEnabled(hasSelectedText());
    QAction* pasteAction = menu.addAction(tr("Paste\tCtrl+V"), this, &QsciScintilla::paste);
    pasteAction->setEnabled(!isReadOnly());
    menu.addSeparator();
    menu.addAction(tr("Select &All\tCtrl+A"), this, [this] { selectAll(); });
    menu.addAction(tr("Search and Replace...\tCtrl+F"), this, &SqlEditor::SearchAndReplace);
    menu.exec(event->globalPos());
}
