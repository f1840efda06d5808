#include "page_header.h"

#include <QCheckBox>
#include <QPlainTextEdit>

#include "ctw_doc.h"

PageHeader::PageHeader(CProjectView* view, QWidget* parent)
    : TextSwitchPage(view, tr("Add &header, paragraph size :"),
                     {&CtwDoc::HeaderText, &CtwDoc::SetHeaderText, &CtwDoc::HeaderSize, &CtwDoc::SetHeaderSize,
                      &CtwDoc::HeaderClass, &CtwDoc::SetHeaderClass},
                     parent) {
    Switch()->setToolTip(tr("Print the header before each result set"));
    TextField()->setToolTip(tr("Header text"));
}
