// The slave data panel's groups: the address group with the status pane, then one group per
// non-empty I/O buffer of the slave, each holding its data pane with zero margins.
#pragma once

#include <QList>

class CSlaveDev;
class QGroupBox;
class QWidget;

// Builds the groups of `slave` as children of `panel`, top to bottom. Group object names are
// the caption string ids ("61508", "10040", ...).
QList<QGroupBox*> BuildSlaveDataGroups(CSlaveDev& slave, QWidget* panel);
