#pragma once
// The SQL editor of the Query page: SQL highlighting with the program's keyword list, line numbers, brace
// matching, completion of the database's table and column names, and its own context menu.

#include <Qsci/qsciscintilla.h>

#include <QStringList>

class QsciLexerSQL;

class SqlEditor : public QsciScintilla {
    Q_OBJECT
  public:
    explicit SqlEditor(QWidget* parent = nullptr);

    // The editor's text as one string, and replacing it with an empty undo history.
    QString Text() const { return text(); }
    void LoadText(const QString& text);
    // Reads path into the editor; false (editor unchanged) when it cannot be read.
    bool LoadFile(const QString& path);
    // Writes the editor's text to path (UTF-8); false when it could not be written.
    bool SaveFile(const QString& path) const;
    // The names completion offers besides the keywords (tables and columns of the connected database).
    void SetCompletionNames(const QStringList& names);
    QStringList CompletionNames() const { return m_names; }
    // The keywords and names that complete prefix (any letter case), sorted.
    QStringList CompletionsOf(const QString& prefix) const;
    // Opens the search and replace window.
    void SearchAndReplace();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    static constexpr int kCompletionList = 1;
    QString WordBeforeCaret() const;
    void OfferCompletion();
    void Complete(const QString& chosen);

    QsciLexerSQL* m_lexer;
    QStringList m_names;
    QStringList m_words;  // keywords and names
};

// Reads an SQL file as text (UTF-8); false when it cannot be read.
bool ReadSqlFile(const QString& path, QString& text);
