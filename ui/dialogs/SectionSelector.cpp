#include "SectionSelector.h"

#include <QFont>

#include "SectionNameTable.h"

SectionSelector::SectionSelector(QWidget* parent) : QDialog(parent) {
  setupUi(this);
  QFont font(QStringLiteral("Sans Serif"));
  font.setPixelSize(12);
  m_pCmbSection->setFont(font);
  for (int slot = 0; slot < SectionNameTable::kSlots; ++slot) m_pCmbSection->addItem(SectionNameTable::name(slot));
}

void SectionSelector::clickedOk() {
  mSelectedIndex = m_pCmbSection->currentIndex();
  accept();
}

void SectionSelector::clickedCancel() { reject(); }
