object F_azh1: TF_azh1
  Left = 184
  Top = 142
  BorderStyle = bsDialog
  Caption = '安装窗口'
  ClientWidth = 300
  ClientHeight = 177
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clBlack
  Font.Height = -11
  Font.Name = 'System'
  Font.Style = [fsBold]
  Position = poScreenCenter
  object Panel1: TPanel
    Left = 0
    Top = 122
    Width = 300
    Height = 55
    Align = alBottom
    BevelOuter = bvRaised
    BevelInner = bvLowered
    BorderWidth = 5
    TabOrder = 1
    object BitBtn1: TBitBtn
      Left = 48
      Top = 16
      Width = 89
      Height = 25
      Caption = '&A 安装'
      Default = True
      Glyph = 'ok'
      TabOrder = 0
      OnClick = BitBtn1Click
    end
    object BitBtn2: TBitBtn
      Left = 176
      Top = 16
      Width = 89
      Height = 25
      Caption = 'Esc退出'
      Cancel = True
      Glyph = 'close'
      TabOrder = 1
      OnClick = BitBtn2Click
    end
  end
  object Panel2: TPanel
    Left = 0
    Top = 0
    Width = 300
    Height = 121
    Visible = False
    BevelOuter = bvRaised
    BevelInner = bvLowered
    BorderWidth = 3
    TabOrder = 0
    object ProgressBar1: TProgressBar
      Left = 16
      Top = 72
      Width = 265
      Height = 26
      Min = 0
      Max = 150
      Position = 0
      TabStop = False
    end
    object Label1: TLabel
      Left = 16
      Top = 16
      Width = 8
      Height = 16
      Caption = '1'
      Color = clSilver
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clBlue
      Font.Height = -11
      Font.Name = 'System'
      Font.Style = [fsBold]
      ParentFont = False
    end
    object Label2: TLabel
      Left = 16
      Top = 40
      Width = 8
      Height = 16
      Caption = '2'
      Color = clSilver
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clBlue
      Font.Height = -11
      Font.Name = 'System'
      Font.Style = [fsBold]
      ParentFont = False
    end
  end
  object Panel3: TPanel
    Left = 0
    Top = 0
    Width = 300
    Height = 121
    BevelOuter = bvRaised
    BevelInner = bvLowered
    BorderWidth = 2
    TabOrder = 2
    object Label3: TLabel
      Left = 56
      Top = 40
      Width = 186
      Height = 21
      Caption = '选择目的驱动器: '
      Color = clSilver
      Font.Charset = GB2312_CHARSET
      Font.Color = clNavy
      Font.Height = -21
      Font.Name = '楷体_GB2312'
      Font.Style = [fsBold]
      ParentFont = False
    end
    object DriveComboBox1: TDriveComboBox
      Left = 72
      Top = 72
      Width = 145
      Height = 22
      Color = clWhite
      TabOrder = 0
    end
  end
end
