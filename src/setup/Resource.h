#pragma once
// Template numbers and control ids of the joint setup wizard's pages. Ids
// from 1200 on name controls that only this program's layouts add (labels
// that are shown and hidden with their fields).

// Templates.
constexpr int IDD_OPERATOR_PAGE = 134;
constexpr int IDD_MACHINE_PAGE = 136;
constexpr int IDD_PIPE_PAGE = 138;
constexpr int IDD_DRAG_PRESSURE_PAGE = 153;
constexpr int IDD_HEATER_TEMP_PAGE = 162;
constexpr int IDD_READY_TO_LOG_PAGE = 163;
constexpr int IDD_REC_PRESSURES_PAGE = 164;
constexpr int IDD_FITTING_PAGE = 165;
constexpr int IDD_NOTES_PAGE = 167;
constexpr int IDD_PIPE_AREA_DLG = 172;
constexpr int IDD_SIDEWALL_PARAMS_PAGE = 183;
constexpr int IDD_CONFIRM_NEXT_JOINT = 184;

// Machine page.
constexpr int IDC_MACHINE_ID = 1004;
constexpr int IDC_MODEL_LIST = 1009;
constexpr int IDC_PISTON_AREA = 1010;
constexpr int IDC_PISTON_AREA_UNIT = 1011;
constexpr int IDC_MODEL_NAME = 1061;
constexpr int IDC_PISTON_AREA_LABEL = 1062;
constexpr int IDC_SIDEWALL_FUSION = 1128;
constexpr int IDC_MODEL_NAME_LABEL = 1200;

// Operator page.
constexpr int IDC_EMPLOYEE_ID = 1006;
constexpr int IDC_JOB_NUMBER = 1007;
constexpr int IDC_JOINT_NUMBER = 1008;

// Pipe page; the material list and text are shared with the Fitting page.
constexpr int IDC_MATERIAL_LIST = 1012;
constexpr int IDC_PIPE_SIZE = 1013;
constexpr int IDC_PIPE_SIZE_UNIT = 1014;
constexpr int IDC_WALL_THICKNESS = 1015;
constexpr int IDC_WALL_THICKNESS_UNIT = 1017;
constexpr int IDC_HEAT_IFP = 1018;
constexpr int IDC_SOAK_IFP = 1019;
constexpr int IDC_FUSE_IFP = 1020;
constexpr int IDC_COOL_IFP = 1021;
constexpr int IDC_MATERIAL_TEXT = 1063;
constexpr int IDC_PIPE_AREA_BUTTON = 1094;

// Pipe Area dialog.
constexpr int IDC_PIPE_AREA_SW = 1095;
constexpr int IDC_PIPE_AREA_SW_UNIT = 1096;

// Fitting page.
constexpr int IDC_FITTING_MAIN_SIZE = 1067;
constexpr int IDC_FITTING_MAIN_UNIT = 1068;
constexpr int IDC_FITTING_OUTLET_SIZE = 1069;
constexpr int IDC_FITTING_OUTLET_UNIT = 1070;
constexpr int IDC_FITTING_TYPE = 1071;
constexpr int IDC_FITTING_BASE_TYPE = 1129;
constexpr int IDC_ENTER_FORCES = 1134;
constexpr int IDC_CALCULATE_PRESSURES = 1135;
constexpr int IDC_FORCE_OR_CALC_GROUP = 1136;

// Sidewall Parameters page.
constexpr int IDC_SOAK_FORCE = 1138;
constexpr int IDC_FUSE_FORCE = 1139;
constexpr int IDC_BEAD_FORCE = 1140;
constexpr int IDC_FORCES_GROUP = 1141;
constexpr int IDC_BASE_INCHES = 1142;
constexpr int IDC_BASE_MM = 1143;
constexpr int IDC_BASE_LABEL_1 = 1144;
constexpr int IDC_BASE_VALUE_1 = 1145;
constexpr int IDC_BASE_VALUE_2 = 1146;
constexpr int IDC_BASE_VALUE_3 = 1147;
constexpr int IDC_BASE_GROUP = 1148;
constexpr int IDC_BASE_LABEL_2 = 1149;
constexpr int IDC_BASE_LABEL_3 = 1150;
constexpr int IDC_SOAK_FORCE_LABEL = 1201;

// Closing pages.
constexpr int IDC_DRAG_PRESSURE = 1056;
constexpr int IDC_HEATER_TEMP = 1057;
constexpr int IDC_REC_PRESSURE_LABELS = 1058;
constexpr int IDC_REC_PRESSURE_VALUES = 1059;
constexpr int IDC_NOTES = 1072;
constexpr int IDC_LOGGED_TEMP = 1097;
constexpr int IDC_READY_CANCEL = 1064;
constexpr int IDC_NOTES_PREFIX = 1132;
constexpr int IDC_NOTES_LEFT = 1133;
constexpr int IDC_HEATER_TEMP_UNIT = 1202;

// "Use these data for next joint?"
constexpr int IDC_JOINT_SUMMARY = 1152;
constexpr int IDC_CONFIRM_NO = 1153;
