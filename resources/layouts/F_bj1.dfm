object F_bj1: TF_bj1
  Left = -11
  Top = 73
  ClientWidth = 640
  ClientHeight = 430
  Caption = 'Kelvora安装大师'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  Position = poDefault
  WindowState = wsMaximized
  ScrollBars = False
  OnCreate = FormCreate
  object Image1: TImage
    Left = 0
    Top = 0
    Width = 640
    Height = 430
    Align = alClient
    Picture = 'gradient'
    Stretch = True
  end
  object Label1: TLabel
    Left = 8
    Top = 8
    Width = 168
    Height = 56
    Caption = ' 标题 '
    Color = clBlue
    Font.Charset = GB2312_CHARSET
    Font.Color = clRed
    Font.Height = -56
    Font.Name = '宋体'
    Font.Style = []
    ParentFont = False
  end
end
