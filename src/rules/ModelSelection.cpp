#include "ModelSelection.h"

ModelRow modelRow(MeterModel model) {
    switch (model) {
    case MeterModel::VelmarC:
        return {"VelmarC Interface Program _Ver: 1.00",
                "AC",
                QString(),
                QStringLiteral("7"),
                "8000",
                "-8000"};
    case MeterModel::VelmarD:
        return {"VelmarD Interface Program _Ver: 1.00",
                "AC trms",
                std::nullopt,
                std::nullopt,
                "80000",
                "-80000"};
    case MeterModel::Tessik:
        return {"Tessik Interface Program _Ver: 1.00",
                "AC",
                QString(),
                QStringLiteral("7"),
                "8000",
                "-8000"};
    }
    return {};
}
