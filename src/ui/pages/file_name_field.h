#pragma once
// A file-name field with a browse button, as the pages use for file names (the macro menu knows the kind).

#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

class FileNameField : public QWidget {
    Q_OBJECT
  public:
    // How the browse button asks: for a file to read (it must exist) or for a file to write.
    enum class Mode { Open, Save };
    explicit FileNameField(Mode mode, QWidget* parent = nullptr);

    QString Text() const;
    // Shows text without telling textEdited (loading a page is no edit).
    void SetText(const QString& text);
    // filter in the "Name|*.ext|Name|*.ext||" form of the project pages; defaultExtension without the dot.
    void SetFilter(const QString& filter, const QString& defaultExtension = QString());
    QString Filter() const { return m_filter; }
    QString DefaultExtension() const { return m_defaultExtension; }
    QLineEdit* Edit() const { return m_edit; }
    QToolButton* BrowseButton() const { return m_browse; }
    // The Qt file dialog filter of a "Name|*.ext|...||" filter ("Name (*.ext);;...").
    static QString DialogFilter(const QString& filter);

  signals:
    // The text changed by typing or by the browse button (not by SetText).
    void textEdited(const QString& text);

  private:
    void Browse();

    Mode m_mode;
    QString m_filter, m_defaultExtension;
    QLineEdit* m_edit;
    QToolButton* m_browse;
};
